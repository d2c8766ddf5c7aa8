#include "export/tunepostexport.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QDir>
#include <QTemporaryDir>

class TunepostTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void line_data()
    {
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("filename");
        QTest::addColumn<QString>("line");
        QTest::newRow("tags") << QStringLiteral("Some Band") << QStringLiteral("Best Song") << QString()
                              << QStringLiteral("Some Band-Best Song.mp3");
        QTest::newRow("title empty: folders and name")
            << QStringLiteral("Some Band") << QString() << QStringLiteral("/Music/Some Band/Best_Song.mp3")
            << QStringLiteral("Music Some Band-Best Song.mp3");
        QTest::newRow("name in brackets at the root")
            << QString() << QString() << QStringLiteral("/(Some Band) Best-Song.mp3")
            << QStringLiteral("Some Band- Best-Song.mp3");
        QTest::newRow("hyphens and runs of blanks")
            << QString() << QString() << QStringLiteral("/Rock/Old - New/Track-1.MP3")
            << QStringLiteral("Rock Old New-Track 1.MP3");
        QTest::newRow("Windows path") << QString() << QString() << QStringLiteral("C:\\Music\\Some Band\\Best_Song.mp3")
                                      << QStringLiteral("Music Some Band-Best Song.mp3");
        QTest::newRow("apostrophes and quotes") << QStringLiteral("Guns 'n' Roses") << QStringLiteral("Don't")
                                                << QString() << QStringLiteral("Guns n Roses-Don t.mp3");
        QTest::newRow("apostrophe in a path") << QString() << QString() << QStringLiteral("/a/\"Rock'n\"/x_y.mp3")
                                              << QStringLiteral("a Rock n-x y.mp3");
        QTest::newRow("blank-only tags count") << QStringLiteral("   ") << QStringLiteral("Song") << QString()
                                               << QStringLiteral(" -Song.mp3");
        QTest::newRow("file at the root") << QString() << QString() << QStringLiteral("/Track-1.mp3")
                                          << QStringLiteral("Track 1.mp3");
        QTest::newRow("bracket never closed") << QString() << QString() << QStringLiteral("/a/(Live.mp3")
                                              << QStringLiteral("a-(Live.mp3");
        QTest::newRow("line breaks in tags") << QStringLiteral("Band\r\n#EXTINF:1,x") << QStringLiteral("So\u2028ng\n")
                                             << QString() << QStringLiteral("Band #EXTINF:1,x-So ng .mp3");
        QTest::newRow("line breaks in a path") << QString() << QString() << QStringLiteral("/a/x\v\u0085y\r.mp3")
                                               << QStringLiteral("a-x y .mp3");
    }
    void line()
    {
        QFETCH(QString, artist);
        QFETCH(QString, title);
        QFETCH(QString, filename);
        QFETCH(QString, line);
        QCOMPARE(TunepostExport::lineFor(artist, title, filename), line);
    }

    void splitsByCharacters()
    {
        QTemporaryDir dir;
        const QString desktop = dir.filePath(QStringLiteral("Desktop")); // made by the export
        QVERIFY(writeBytes(desktop + QStringLiteral("/tunepost-5.m3u"), "from an older export"));
        // 19 lines of 5000 characters reach 95000 exactly; the next passes
        // it. The title is not ASCII: bytes would pass the limit far earlier.
        const QString title = QString(4990, QChar(0x00e9));
        QList<CatalogueEntry> entries;
        for (int i = 0; i < 20; ++i)
            entries << entryOf({QStringLiteral("/a.mp3"), {}, QStringLiteral("A"), title});
        entries << entryOf({QStringLiteral("/lib.mp3"), {}, QStringLiteral("L"), QStringLiteral("T")},
                           EntryOrigin::Library);
        QStringList begun;
        const TunepostExport::Outcome outcome =
            TunepostExport::write(desktop, rowsOf(entries), [&](const QString &path) { begun << path; });
        QVERIFY(outcome.ok);
        const QStringList expected{desktop + QStringLiteral("/tunepost-1.m3u"),
                                   desktop + QStringLiteral("/tunepost-2.m3u")};
        QCOMPARE(begun, expected);
        QCOMPARE(outcome.written, expected);
        const QByteArray line = (QStringLiteral("A-") + title + QStringLiteral(".mp3\r\n")).toUtf8();
        QCOMPARE(fileBytes(expected[0]), line.repeated(20));
        QCOMPARE(fileBytes(expected[1]), QByteArray()); // begun after the last track, left empty
        QCOMPARE(fileBytes(desktop + QStringLiteral("/tunepost-5.m3u")), QByteArray("from an older export"));
    }

    void writeFailureStops()
    {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("plain")), "x"));
        const QString folder = dir.filePath(QStringLiteral("plain/Desktop"));
        const TunepostExport::Outcome outcome =
            TunepostExport::write(folder, rowsOf({entryOf({QStringLiteral("/a.mp3")})}));
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.written.isEmpty());
        QVERIFY(TunepostExport::failureMessage(outcome).contains(folder + QStringLiteral("/tunepost-1.m3u")));
    }
};

ONDRO_TEST_MAIN(TunepostTest)
#include "test_tunepost.moc"
