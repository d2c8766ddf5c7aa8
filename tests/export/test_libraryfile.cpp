#include "export/librarydatabase.h"
#include "export/libraryfile.h"
#include "libraryfixtures.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QByteArray NineColumns = "CREATE TABLE tbl_MP3s (filename TEXT, source TEXT, artist TEXT, track TEXT, album "
                               "TEXT, year TEXT, genre TEXT, coverimage TEXT, audioheader TEXT);";

} // namespace

class LibraryFileTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString file(const char *name) const { return dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void init()
    {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
    }

    void libraryRoundTrip()
    {
        const RowStore rows = rowsOf({
            entryOf({QStringLiteral("/cd/a.mp3"), QStringLiteral("CD01"), QStringLiteral("  Band  "),
                     QStringLiteral("   "), QString(), QStringLiteral("1999"), QStringLiteral("Rock"),
                     QStringLiteral("/covers/a.jpg"), QStringLiteral("11111111 ")}),
            entryOf({QStringLiteral("/lib/b.mp3"), QStringLiteral("LIB")}, EntryOrigin::Library),
            entryOf({QString(), QStringLiteral("CD02"), QStringLiteral("Bj\u00f6rk")}),
        });
        const QString path = file("mine.odl");
        QVERIFY(LibraryFile::write(path, rows, LibraryFile::Content::Library).ok);

        // One table, nine TEXT columns in order, no key, no index.
        QCOMPARE(queryRows(path, "SELECT type, name FROM sqlite_schema"), QStringList{QStringLiteral("table|tbl_MP3s")});
        QCOMPARE(queryRows(path, "SELECT group_concat(name || ':' || type || ':' || pk, ',') FROM pragma_table_info('tbl_MP3s')"),
                 QStringList{QStringLiteral("filename:TEXT:0,source:TEXT:0,artist:TEXT:0,track:TEXT:0,album:TEXT:0,"
                                            "year:TEXT:0,genre:TEXT:0,coverimage:TEXT:0,audioheader:TEXT:0")});
        QCOMPARE(queryRows(path, "PRAGMA application_id"), QStringList{QString::number(LibraryDatabase::ApplicationId)});
        QCOMPARE(queryRows(path, "PRAGMA user_version"), QStringList{QString::number(LibraryDatabase::UserVersion)});
        // Own tracks only; blank-only fields null, blanks around text kept,
        // the file name always written, the cover never.
        QCOMPARE(queryRows(path, "SELECT * FROM tbl_MP3s"),
                 (QStringList{QStringLiteral("/cd/a.mp3|CD01|  Band  |<null>|<null>|1999|Rock|<null>|11111111 "),
                              QStringLiteral("|CD02|Bj\u00f6rk|<null>|<null>|<null>|<null>|<null>|<null>")}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("mine.odl")});

        RowStore loaded = rowsOf({entryOf({QStringLiteral("/already/here.mp3")})});
        QVERIFY(LibraryFile::load(path, loaded));
        QVERIFY(LibraryFile::load(path, loaded)); // twice: appended twice
        QCOMPARE(loaded.size(), 5);
        QCOMPARE(loaded.field(0, FieldFilename), QStringLiteral("/already/here.mp3"));
        const CatalogueEntry first = entryOf({QStringLiteral("/cd/a.mp3"), QStringLiteral("CD01"),
                                              QStringLiteral("  Band  "), QString(), QString(), QStringLiteral("1999"),
                                              QStringLiteral("Rock"), QString(), QStringLiteral("11111111 ")},
                                             EntryOrigin::Library);
        QCOMPARE(loaded.entry(1), first);
        QCOMPARE(loaded.entry(3), first);
        QCOMPARE(loaded.field(4, FieldArtist), QStringLiteral("Bj\u00f6rk"));
    }

    void databaseExportHoldsEverything()
    {
        const RowStore rows = rowsOf({
            entryOf({QStringLiteral("/cd/a.mp3"), QStringLiteral(" "), {}, {}, {}, {}, {}, QStringLiteral("/c/a.jpg ")}),
            entryOf({QStringLiteral("/lib/b.mp3"), QStringLiteral("LIB")}, EntryOrigin::Library),
        });
        const QString path = dir.filePath(LibraryFile::databaseExportFileName());
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("ondro2000.mdb"));
        QVERIFY(LibraryFile::write(path, rows, LibraryFile::Content::Database).ok);
        QCOMPARE(queryRows(path, "SELECT filename, source, coverimage FROM tbl_MP3s"),
                 (QStringList{QStringLiteral("/cd/a.mp3|<null>|/c/a.jpg "), QStringLiteral("/lib/b.mp3|LIB|<null>")}));
        // A second export is refused and the first content stays.
        const SaveResult again = LibraryFile::write(path, RowStore(), LibraryFile::Content::Database);
        QVERIFY(!again.ok);
        QCOMPARE(queryRows(path, "SELECT count(*) FROM tbl_MP3s"), QStringList{QStringLiteral("2")});
        QCOMPARE(LibraryFile::existsMessage(path, LibraryFile::Content::Database),
                 path + QStringLiteral(" already exists. Please rename or delete before trying to export again."));
    }

    void emptyLibrary()
    {
        const QString path = file("empty.odl");
        QVERIFY(LibraryFile::createEmpty(path).ok);
        RowStore rows;
        QVERIFY(LibraryFile::load(path, rows));
        QCOMPARE(rows.size(), 0);
    }

    void existingTargetIsLeftAlone()
    {
        const QString path = file("taken.odl");
        QVERIFY(writeBytes(path, "someone's file"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::ReadWrite));
            QVERIFY(old.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)), QFileDevice::FileModificationTime));
        }
        const SaveResult result = LibraryFile::write(path, rowsOf({entryOf({QStringLiteral("/a.mp3")})}),
                                                     LibraryFile::Content::Library);
        QVERIFY(!result.ok);
        QCOMPARE(fileBytes(path), QByteArray("someone's file"));
        QCOMPARE(QFileInfo(path).lastModified(), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("taken.odl")});
    }

    void failedWriteLeavesNoFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("huge"); // a value too long to store, in the second record
        QTest::addColumn<int>("stopAfter"); // the row after which the write is stopped (0: never)
        QTest::newRow("value too long half-way") << QStringLiteral("half.odl") << QString(2 << 20, u'x') << 0;
        QTest::newRow("folder is a plain file") << QStringLiteral("plain/x.odl") << QString() << 0;
        QTest::newRow("stopped half-way") << QStringLiteral("stop.odl") << QString() << 2;
    }
    void failedWriteLeavesNoFile()
    {
        QFETCH(QString, target);
        QFETCH(QString, huge);
        QFETCH(int, stopAfter);
        QVERIFY(writeBytes(file("plain"), "not a folder"));
        const QString path = dir.filePath(target);
        const RowStore rows =
            rowsOf({entryOf({QStringLiteral("/a.mp3")}), entryOf({QStringLiteral("/b.mp3"), {}, huge}),
                    entryOf({QStringLiteral("/c.mp3")})});
        WorkProgress progress;
        progress.onStep = [&](qint64 i, qint64) {
            if (i == stopAfter)
                progress.requestStop();
        };
        const SaveResult result = LibraryFile::write(path, rows, LibraryFile::Content::Library, &progress);
        QVERIFY(!result.ok);
        QCOMPARE(result.error == QStringLiteral("writing was stopped"), stopAfter > 0);
        QVERIFY(!result.error.isEmpty());
        QVERIFY(LibraryFile::failureMessage(path, LibraryFile::Content::Library, result.error).contains(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("plain")});
    }

    // Records go to the file as they come: a write of 300,000 (a file of
    // some 40 MB) holds no more than the database's cache of pages.
    void writeMemoryDoesNotGrowWithTheRecords()
    {
        const QString path = file("big.mdb");
        constexpr int Records = 300000;
        const auto source = [](const EntrySink &add) {
            EntryView entry;
            entry.fields.fill("a value of a field");
            for (int i = 0; i < Records; ++i) {
                const QByteArray name = "/media/disk/Some Artist/Some Album/Track " + QByteArray::number(i) + ".mp3";
                entry.fields[FieldFilename] = name;
                if (!add(entry))
                    return false;
            }
            return true;
        };
        PeakMemory::reset();
        QVERIFY(LibraryFile::write(path, source, LibraryFile::Content::Database).ok);
        const qint64 growth = PeakMemory::growthBytes();
        QCOMPARE(queryRows(path, "SELECT count(*), max(filename) FROM tbl_MP3s"),
                 QStringList{QStringLiteral("300000|/media/disk/Some Artist/Some Album/Track 99999.mp3")});
        QCOMPARE_GT(QFileInfo(path).size(), qint64(32) << 20);
#if defined(__SANITIZE_ADDRESS__)
        Q_UNUSED(growth); // freed memory waits in the sanitizer's quarantine: no peak to bound
#else
        QCOMPARE_LT(growth, qint64(20) << 20);
#endif
    }

    void missingFieldKeepsWhatWasRead()
    {
        const QString path = file("old.odl");
        QVERIFY(runSql(path, "CREATE TABLE tbl_MP3s (filename, source, artist, track, album, year, genre, coverimage);"
                             "INSERT INTO tbl_MP3s VALUES ('/a.mp3','S','A','T','B','1999','Rock','/c.jpg');"
                             "INSERT INTO tbl_MP3s VALUES ('/b.mp3','S','A','T','B','1999','Rock','/c.jpg');"));
        RowStore rows;
        QString reason;
        QVERIFY(!LibraryFile::load(path, rows, &reason));
        QVERIFY(reason.contains(QStringLiteral("audioheader")));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.entry(0), entryOf({QStringLiteral("/a.mp3"), QStringLiteral("S"), QStringLiteral("A"),
                                         QStringLiteral("T"), QStringLiteral("B"), QStringLiteral("1999"),
                                         QStringLiteral("Rock")},
                                        EntryOrigin::Library));
    }

    void loadStopsAtTheTimeLimit()
    {
        const QString path = file("slow.odl");
        QVERIFY(writeLibraryRows(path, 3000));
        RowStore rows;
        QString reason;
        LibraryDatabase::ReadLimits limits = LibraryDatabase::ReadLimits::forFileSize(QFileInfo(path).size());
        limits.time = std::chrono::milliseconds(0);
        QVERIFY(!LibraryFile::load(path, rows, &reason, limits));
        QVERIFY2(reason.contains(QStringLiteral("stopped after 0 seconds")), qPrintable(reason));
        QCOMPARE_LT(rows.size(), 3000);
        QVERIFY(LibraryFile::load(path, rows, &reason)); // the limits of its size
        QCOMPARE_GE(rows.size(), 3000);
    }

    void foreignLibraries_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // the file as it is, when sql is empty
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<QStringList>("filenames");
        QTest::newRow("text file") << QByteArray("just some text\r\n") << QByteArray() << false << QStringList();
        QTest::newRow("0 bytes") << QByteArray("") << QByteArray() << false << QStringList();
        QTest::newRow("another schema") << QByteArray() << QByteArray("CREATE TABLE songs (filename TEXT);") << false
                                        << QStringList();
        QTest::newRow("a view named like the table")
            << QByteArray()
            << QByteArray("CREATE TABLE t (x); INSERT INTO t VALUES ('/v.mp3');"
                          "CREATE VIEW tbl_MP3s AS SELECT x AS filename, x AS source, x AS artist, x AS track, x AS "
                          "album, x AS year, x AS genre, x AS coverimage, x AS audioheader FROM t;")
            << false << QStringList();
        QTest::newRow("a trigger") << QByteArray()
                                   << NineColumns + "CREATE TABLE log (x); INSERT INTO tbl_MP3s (filename) VALUES "
                                                    "('/t.mp3'); CREATE TRIGGER t AFTER INSERT ON tbl_MP3s BEGIN "
                                                    "DELETE FROM tbl_MP3s; END;"
                                   << true << QStringList{QStringLiteral("/t.mp3")};
        QTest::newRow("values of other types, columns in another order and case")
            << QByteArray()
            << QByteArray("CREATE TABLE TBL_MP3S (AudioHeader, Genre, Year INTEGER, Album, Track, Artist, Source, "
                          "CoverImage, FileName BLOB, extra);"
                          "INSERT INTO tbl_MP3s VALUES (1.5, NULL, 1999, x'00', 'T', x'42e96c61', 7, '/c.jpg', "
                          "x'2f612e6d7033', 'x');")
            << true << QStringList{QStringLiteral("/a.mp3")};
    }
    void foreignLibraries()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, sql);
        QFETCH(bool, loads);
        QFETCH(QStringList, filenames);
        const QString path = file("theirs.odl");
        QVERIFY(sql.isEmpty() ? writeBytes(path, bytes) : runSql(path, sql));
        const QByteArray before = fileBytes(path);

        RowStore rows;
        QString reason;
        QCOMPARE(LibraryFile::load(path, rows, &reason), loads);
        QCOMPARE(reason.isEmpty(), loads);
        QStringList names;
        for (qsizetype i = 0; i < rows.size(); ++i)
            names << rows.field(i, FieldFilename);
        QCOMPARE(names, filenames);
        if (QTest::currentDataTag() == QByteArrayLiteral("values of other types, columns in another order and case")) {
            QCOMPARE(rows.entry(0),
                     entryOf({QStringLiteral("/a.mp3"), QStringLiteral("7"), QStringLiteral("B\u00e9la"),
                              QStringLiteral("T"), QString(QChar(0)), QStringLiteral("1999"), QString(), QString(),
                              QStringLiteral("1.5")},
                             EntryOrigin::Library));
        }
        // Nothing in it changed and nothing was made beside it.
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("theirs.odl")});
    }

    void libraryExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("used");
        QTest::newRow("added") << QStringLiteral("/x/mine") << QStringLiteral("/x/mine.odl");
        QTest::newRow("other extension") << QStringLiteral("/x/mine.db") << QStringLiteral("/x/mine.db.odl");
        QTest::newRow("kept") << QStringLiteral("/x/mine.odl") << QStringLiteral("/x/mine.odl");
        QTest::newRow("any case") << QStringLiteral("/x/MINE.OdL") << QStringLiteral("/x/MINE.OdL");
    }
    void libraryExtension()
    {
        QFETCH(QString, typed);
        QFETCH(QString, used);
        QCOMPARE(LibraryFile::withLibraryExtension(typed), used);
    }
};

ONDRO_TEST_MAIN(LibraryFileTest)
#include "test_libraryfile.moc"
