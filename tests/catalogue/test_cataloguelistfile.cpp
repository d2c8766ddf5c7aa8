#include "catalogue/cataloguelistfile.h"
#include "recordedprogress.h"
#include "base/textcodec.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <unistd.h>

namespace {

TrackRecord sampleRecord(const QString &name)
{
    return {QStringLiteral("/media/cd/") + name, QStringLiteral("CD02"), QStringLiteral("Artist ") + name,
            QStringLiteral("Title"), QStringLiteral("Album"), QStringLiteral("1999"), QStringLiteral("Rock"),
            QString(), QStringLiteral("11111111 11111011 10010000 01100100 ")};
}

QByteArray record(const QList<QByteArray> &nine, const QByteArray &line10 = {}, const QByteArray &line11 = {})
{
    QByteArray out;
    for (const QByteArray &f : nine)
        out += f + "\r\n";
    return out + line10 + "\r\n" + line11 + "\r\n";
}

} // namespace

class CatalogueListFileTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundTripSkipsLibraryRows()
    {
        RowStore rows;
        rows.append(sampleRecord(QStringLiteral("a.mp3")), EntryOrigin::Own);
        rows.append(sampleRecord(QStringLiteral("lib1.mp3")), EntryOrigin::Library);
        rows.append(sampleRecord(QStringLiteral("b.mp3")), EntryOrigin::Own);
        rows.append(sampleRecord(QStringLiteral("lib2.mp3")), EntryOrigin::Library);
        TrackRecord blanks = sampleRecord(QStringLiteral("c.mp3"));
        blanks.artist = QStringLiteral("  padded artist ");
        blanks.coverimage.clear();
        blanks.audioheader.clear();
        rows.append(blanks, EntryOrigin::Own);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        RecordedProgress progress;
        QVERIFY(CatalogueListFile::save(path, rows, &progress));
        QCOMPARE(progress.steps, (QList<qint64>{1, 2, 3, 4, 5}));
        QCOMPARE(progress.lastTotal, 5);

        const QByteArray bytes = fileBytes(path);
        QCOMPARE(bytes.count("\r\n"), 33);
        QVERIFY(bytes.endsWith("\r\n\r\n\r\n"));
        QCOMPARE(bytes.count('\n'), 33); // no bare line feeds

        const RowStore back = CatalogueListFile::read(path).rows;
        QCOMPARE(back.size(), 3);
        QCOMPARE(back.record(0), rows.record(0));
        QCOMPARE(back.record(1), rows.record(2));
        QCOMPARE(back.record(2), blanks);
        for (qsizetype i = 0; i < back.size(); ++i)
            QCOMPARE(back.origin(i), EntryOrigin::Own);
    }

    void emptyOrLibraryOnlyCatalogueWritesEmptyFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        RowStore rows;
        QVERIFY(CatalogueListFile::save(path, rows));
        QCOMPARE(fileBytes(path), QByteArray());
        rows.append(sampleRecord(QStringLiteral("lib.mp3")), EntryOrigin::Library);
        QVERIFY(CatalogueListFile::save(path, rows));
        QCOMPARE(fileBytes(path), QByteArray());
    }

    void readsWholeRecordsOnly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("filenames");
        QTest::addColumn<bool>("damaged");
        const QByteArray one = record({"/a.mp3", "CD1", "", "", "", "", "", "", ""});
        const QByteArray two = record({"/b.mp3", "CD1", "", "", "", "", "", "", "hdr"});
        QTest::newRow("one record") << one << QStringList{"/a.mp3"} << false;
        QTest::newRow("12 lines: extra line ignored") << one + "stray\r\n" << QStringList{"/a.mp3"} << true;
        QTest::newRow("text in lines 10 and 11")
            << record({"/a.mp3", "CD1", "", "", "", "", "", "", ""}, "junk", "more junk") + two
            << QStringList{"/a.mp3", "/b.mp3"} << false;
        // The end of the file may cut off the last record's empty lines, but
        // not its fields.
        QTest::newRow("last line without line end")
            << one + record({"/b.mp3", "", "", "", "", "", "", "", ""}, "", "x").chopped(2)
            << QStringList{"/a.mp3", "/b.mp3"} << false;
        QTest::newRow("10 lines") << one + two.chopped(2) << QStringList{"/a.mp3", "/b.mp3"} << false;
        QTest::newRow("9 lines") << one + two.chopped(4) << QStringList{"/a.mp3", "/b.mp3"} << false;
        QTest::newRow("9 lines, no line end") << one + two.chopped(6) << QStringList{"/a.mp3", "/b.mp3"} << false;
        QTest::newRow("ends inside the fields") << one + two.left(20) << QStringList{"/a.mp3"} << true;
        QTest::newRow("8 lines") << one + two.chopped(9) << QStringList{"/a.mp3"} << true;
        QTest::newRow("lone CR line ends") << QByteArray(one).replace("\r\n", "\r") << QStringList{"/a.mp3"} << false;
        QTest::newRow("lone LF line ends") << QByteArray(one).replace("\r\n", "\n") << QStringList{"/a.mp3"} << false;
        QTest::newRow("empty file") << QByteArray() << QStringList{} << false;
    }

    void readsWholeRecordsOnly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, filenames);
        QFETCH(bool, damaged);
        const CatalogueListFile::ReadResult result = CatalogueListFile::parse(bytes);
        QStringList got;
        for (qsizetype i = 0; i < result.rows.size(); ++i)
            got << result.rows.field(i, FieldFilename);
        QCOMPARE(got, filenames);
        QCOMPARE(result.state, damaged ? CatalogueListFile::ReadState::Damaged : CatalogueListFile::ReadState::Whole);
        if (damaged) // the user learns how many entries were kept
            QVERIFY(CatalogueListFile::readProblemMessage(QStringLiteral("/z.lst"), result)
                        .contains(QStringLiteral("The %1 whole entries").arg(filenames.size())));
        // Read from a file in blocks that cut lines and CR LF pairs
        // everywhere: the same rows and outcome.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        QVERIFY(writeBytes(path, bytes));
        for (qint64 block : {1, 2, 3, 5}) {
            SafeFileRead::Options options;
            options.blockBytes = block;
            const CatalogueListFile::ReadResult streamed = CatalogueListFile::read(path, options);
            QCOMPARE(entriesOf(streamed.rows), entriesOf(result.rows));
            QCOMPARE(streamed.state, result.state);
        }
    }

    void unreadableFilesSayWhy_data()
    {
        QTest::addColumn<QString>("make");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "fifo" << "it is a named pipe, not a plain file";
        QTest::newRow("link to /dev/zero") << "zero" << "it is a device, not a plain file";
        QTest::newRow("folder") << "folder" << "it is a folder, not a file";
        QTest::newRow("over 2 GiB") << "huge" << "it is larger than 2 GiB";
        QTest::newRow("read error half-way") << "fault" << "Input/output error";
    }

    void unreadableFilesSayWhy()
    {
        QFETCH(QString, make);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        SafeFileRead::Options options;
        if (make == QLatin1String("fifo")) {
            QVERIFY(makeFifo(path));
        } else if (make == QLatin1String("zero")) {
            QVERIFY(makeSymlink(QStringLiteral("/dev/zero"), path));
        } else if (make == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(path));
        } else if (make == QLatin1String("huge")) {
            QVERIFY(makeSparseFile(path, (qint64(2) << 30) + 1));
        } else {
            QVERIFY(writeBytes(path, record({"/a.mp3", "", "", "", "", "", "", "", ""}).repeated(1000)));
            options.read = [calls = 0](int fd, char *buffer, qint64 size) mutable -> qint64 {
                if (++calls == 1)
                    return ::read(fd, buffer, size_t(std::min<qint64>(size, 100)));
                errno = EIO;
                return -1;
            };
        }
        const CatalogueListFile::ReadResult result = CatalogueListFile::read(path, options);
        QCOMPARE(result.state, CatalogueListFile::ReadState::Unreadable);
        QVERIFY(!result.mayBeReplaced());
        QVERIFY(result.rows.isEmpty());
        QCOMPARE(result.reason, reason);
        QVERIFY(result.stamp.exists);
        QCOMPARE(CatalogueListFile::readProblemMessage(path, result),
                 QStringLiteral("The catalogue %1 could not be read: %2.").arg(path, reason));
    }

    void readsWindows1252AndRoundTripsUtf8()
    {
        // "Café" and "Motörhead" as Windows-1252 bytes, with a euro sign (0x80).
        const QByteArray cp1252 = record({"C:\\MP3\\Caf\xe9.mp3", "CD1", "Mot\xf6rhead", "\x80 rate", "", "", "",
                                          "", ""});
        const RowStore rows = CatalogueListFile::parse(cp1252).rows;
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.field(0, FieldFilename), QStringLiteral("C:\\MP3\\Caf\u00e9.mp3"));
        QCOMPARE(rows.field(0, FieldArtist), QStringLiteral("Mot\u00f6rhead"));
        QCOMPARE(rows.field(0, FieldTrack), QStringLiteral("\u20ac rate"));

        // Each record is decoded on its own: a UTF-8 record beside a
        // Windows-1252 one stays UTF-8. The five bytes Windows-1252 leaves
        // undefined neither vanish nor become control characters.
        QVERIFY(TextCodec::hasQtCp1252Decoder());
        const QByteArray mixed = record({"/Bj\xc3\xb6rk.mp3", "", "Bj\xc3\xb6rk", "", "", "", "", "", ""}) +
                                 record({"/x.mp3", "", "Mot\xf6rhead \x81\x8d\x8f\x90\x9d", "", "", "", "", "", ""});
        const RowStore both = CatalogueListFile::parse(mixed).rows;
        QCOMPARE(both.size(), 2);
        QCOMPARE(both.field(0, FieldArtist), QStringLiteral("Bj\u00f6rk"));
        QCOMPARE(both.field(1, FieldArtist), QStringLiteral("Mot\u00f6rhead \ufffd\ufffd\ufffd\ufffd\ufffd"));

        RowStore nonLatin;
        TrackRecord r = sampleRecord(QStringLiteral("\u65e5\u672c.mp3"));
        r.artist = QStringLiteral("\u0411\u0438-2 \U0001F3B5");
        nonLatin.append(r, EntryOrigin::Own);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        QVERIFY(CatalogueListFile::save(path, nonLatin));
        QVERIFY(fileBytes(path).contains(r.artist.toUtf8()));
        QCOMPARE(CatalogueListFile::read(path).rows.record(0), r);
    }

    void lineBreakInsideValueKeepsRecordsAligned()
    {
        RowStore rows;
        TrackRecord r = sampleRecord(QStringLiteral("a.mp3"));
        r.track = QStringLiteral("two\r\nlines");
        rows.append(r, EntryOrigin::Own);
        rows.append(sampleRecord(QStringLiteral("b.mp3")), EntryOrigin::Own);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        QVERIFY(CatalogueListFile::save(path, rows));
        const RowStore back = CatalogueListFile::read(path).rows;
        QCOMPARE(back.size(), 2);
        QCOMPARE(back.field(0, FieldTrack), QStringLiteral("two  lines"));
        QCOMPARE(back.record(1), rows.record(1));
    }

    // Adding to a catalogue leaves it all UTF-8: its Windows-1252 records
    // are written anew as UTF-8, the others are kept byte for byte.
    void appendWritesWindows1252RecordsAsUtf8_data()
    {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QByteArray>("kept"); // old bytes that must stay as they are
        const QByteArray utf8 = "/Bj\xc3\xb6rk.mp3\nCD1\nBj\xc3\xb6rk\n\n\n\n\n\n\nline ten\n\n";
        const QByteArray windows = record({"/Caf\xe9.mp3", "CD1", "Caf\xe9", "\x80", "", "", "", "", ""}, "\xff");
        QTest::newRow("between UTF-8 records") << utf8 + windows + utf8 << utf8;
        QTest::newRow("last, cut after its fields") << utf8 + windows.chopped(5) << utf8;
        QTest::newRow("UTF-8 look-alike in a Windows-1252 record")
            << record({"/a.mp3", "CD1", "Caf\xc3\xa9", "Caf\xe9", "", "", "", "", ""}) << QByteArray();
        QTest::newRow("only a separator line") << utf8 + record({"/b.mp3", "", "", "", "", "", "", "", ""}, "\xe9")
                                               << utf8;
    }

    void appendWritesWindows1252RecordsAsUtf8()
    {
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        RowStore added;
        added.append(sampleRecord(QStringLiteral("Caf\u00e9 2.mp3")), EntryOrigin::Own);
        // Small reads cut characters and records between blocks.
        for (const qint64 block : {qint64(3), SafeFileRead::DefaultBlockBytes}) {
            QVERIFY(writeBytes(path, old));
            const CatalogueListFile::ReadResult before = CatalogueListFile::read(path);
            SafeFileRead::Options options;
            options.blockBytes = block;
            QVERIFY(CatalogueListFile::appendRecords(path, CatalogueListFile::check(path).stamp, added, options));

            const QByteArray after = fileBytes(path);
            QVERIFY(QByteArrayView(after).isValidUtf8());
            QVERIFY(after.startsWith(kept));
            const CatalogueListFile::ReadResult read = CatalogueListFile::read(path);
            QCOMPARE(read.state, CatalogueListFile::ReadState::Whole);
            QCOMPARE(entriesOf(read.rows), entriesOf(before.rows) + entriesOf(added));
        }
    }

    // Line 10 carries the facts when it starts with "ondro:"; anything
    // else there is the original program's and is written back empty. Both
    // a save and an append of a record that must be copied anew keep it.
    void extensionLines_data()
    {
        QTest::addColumn<QByteArray>("line10");
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<QByteArray>("field"); // the record's first field
        const QByteArray facts = "ondro:1 size=4000 dur=215.3 mode=cbr enc=a%20b aid=0123456789abcdef zz=%";
        QTest::newRow("facts") << facts << facts << QByteArray("/a.mp3");
        QTest::newRow("a later version") << QByteArray("ondro:2 q") << QByteArray("ondro:2 q") << QByteArray("/a.mp3");
        QTest::newRow("the original's text") << QByteArray("Comment") << QByteArray() << QByteArray("/a.mp3");
        QTest::newRow("Windows-1252 record") << facts << facts << QByteArray("/Caf\xe9.mp3");
        const QByteArray long10 = "ondro:1 x=" + QByteArray(17 << 20, 'a');
        QTest::newRow("over 16 MiB") << long10 << long10 << QByteArray("/a.mp3");
    }
    void extensionLines()
    {
        QFETCH(QByteArray, line10);
        QFETCH(QByteArray, kept);
        QFETCH(QByteArray, field);
        const QByteArray old = record({field, "CD1", "", "", "", "", "", "", ""}, line10);
        const CatalogueListFile::ReadResult read = CatalogueListFile::parse(old);
        QCOMPARE(read.rows.size(), 1);
        QCOMPARE(read.rows.extensionUtf8(0).toByteArray(), kept);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        QVERIFY(CatalogueListFile::save(path, read.rows));
        const QByteArray utf8Field = TextCodec::fromCp1252(field).toUtf8();
        QCOMPARE(fileBytes(path), record({utf8Field, "CD1", "", "", "", "", "", "", ""}, kept));

        QVERIFY(writeBytes(path, old));
        RowStore added;
        added.append(sampleRecord(QStringLiteral("b.mp3")), EntryOrigin::Own, "ondro:1 dur=1.0");
        QVERIFY(CatalogueListFile::appendRecords(path, CatalogueListFile::check(path).stamp, added));
        const CatalogueListFile::ReadResult after = CatalogueListFile::read(path);
        QCOMPARE(after.rows.size(), 2);
        QCOMPARE(after.rows.extensionUtf8(0).toByteArray(), kept);
        QCOMPARE(after.rows.extensionUtf8(1).toByteArray(), QByteArray("ondro:1 dur=1.0"));
        if (field == "/a.mp3") // a UTF-8 file is copied byte for byte
            QVERIFY(fileBytes(path).startsWith(old));
    }

    void failedSaveKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        writeBytes(path, "old content\r\n");

        // The writer gives up half-way: the old file stays whole and no
        // temporary file is left behind.
        const SaveResult stopped = saveAtomically(path, [](QIODevice &device) {
            device.write("half a catalogue");
            return false;
        });
        QVERIFY(!stopped.ok);
        QCOMPARE(fileBytes(path), QByteArray("old content\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"zembra.lst"});

        // A target inside a plain file cannot be written even by root.
        RowStore rows;
        rows.append(sampleRecord(QStringLiteral("a.mp3")), EntryOrigin::Own);
        const QString impossible = path + QStringLiteral("/zembra.lst");
        const SaveResult failed = CatalogueListFile::save(impossible, rows);
        QVERIFY(!failed.ok);
        QVERIFY(!failed.error.isEmpty());
        QVERIFY(saveFailureMessage(impossible, failed).contains(impossible));
        QCOMPARE(fileBytes(path), QByteArray("old content\r\n"));
    }
};

ONDRO_TEST_MAIN(CatalogueListFileTest)
#include "test_cataloguelistfile.moc"
