#include "clirun.h"
#include "id3bytes.h"
#include "mp3bytes.h"
#include "catalogue/cataloguelistfile.h"
#include "media/mediaregister.h"
#include "testfiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

CliRun runCli(const QString &data, const QStringList &arguments)
{
    return runOndroCli(QStringLiteral(ONDRO_CLI_PATH), QStringList{QStringLiteral("--data-dir"), data} + arguments);
}

QStringList titles(const QString &data)
{
    const CatalogueListFile::ReadResult read = CatalogueListFile::read(data + QStringLiteral("/zembra.lst"));
    QStringList values;
    for (qsizetype row = 0; row < read.rows.size(); ++row)
        values.append(read.rows.field(row, FieldTrack));
    return values;
}

} // namespace

class TestMediaCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A second scan warns and adds (scripts rely on it); rescan shows the
    // summary, changes nothing without --yes, and applies with it.
    void scanWarnsAndRescanApplies()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a")));
        QVERIFY(writeBytes(medium + QStringLiteral("/b.mp3"), taggedMp3("b")));
        const QStringList scan{QStringLiteral("scan"), medium, QStringLiteral("--source"), QStringLiteral("CD02")};
        QCOMPARE(runCli(data, scan).err, QByteArray());
        const CliRun twice = runCli(data, scan);
        QCOMPARE(twice.status, 0);
        QCOMPARE(twice.err, QByteArray("ondro-cli: CD02 already had 2 entries; `ondro-cli rescan --source CD02` "
                                       "updates them instead\n"));
        QCOMPARE(titles(data).size(), 4);

        QVERIFY(writeBytes(medium + QStringLiteral("/b.mp3"), taggedMp3("b, retagged")));
        const QStringList rescan{QStringLiteral("rescan"), QStringLiteral("--source"), QStringLiteral("CD02")};
        const QByteArray summary = "Rescan CD02: 0 added, 2 removed, 1 changed, 0 moved, 1 unchanged.\n";
        struct Step
        {
            QStringList extra;
            int status;
            QStringList after;
        };
        const QList<Step> steps{{{QStringLiteral("--dry-run")}, 0, {"a", "b", "a", "b"}},
                                {{}, 1, {"a", "b", "a", "b"}},
                                {{QStringLiteral("--yes")}, 0, {"a", "b, retagged"}}};
        for (const Step &step : steps) {
            const CliRun run = runCli(data, rescan + step.extra);
            QCOMPARE(run.status, step.status);
            QCOMPARE(run.out, summary);
            QCOMPARE(titles(data), step.after);
        }
        MediaRegister media;
        QCOMPARE(int(media.read(MediaRegister::fileIn(data)).state), int(MediaRegister::State::Read));
        QCOMPARE(media.find(QStringLiteral("CD02"))->files, 2);
        QCOMPARE(media.find(QStringLiteral("CD02"))->root, medium);
    }

    // The register through media list and set; a damaged one is named and
    // never saved over, and a scan still adds its entries.
    void mediaListAndSet()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a")));
        QCOMPARE(runCli(data, {QStringLiteral("scan"), medium, QStringLiteral("--source"), QStringLiteral("CD02")}).status, 0);
        QCOMPARE(runCli(data, {"media", "set", "CD02", "--note", "Shelf B, box 3"}).status, 0);
        QCOMPARE(runCli(data, {"media", "set", "CD99", "--note", "x"}).status, 1);
        const CliRun listed = runCli(data, {QStringLiteral("media"), QStringLiteral("list"), QStringLiteral("--json")});
        const QJsonObject cd = QJsonDocument::fromJson(listed.out).array().at(0).toObject();
        QCOMPARE(cd.value("note").toString(), QStringLiteral("Shelf B, box 3"));
        QCOMPARE(cd.value("online").toBool(), true);
        QCOMPARE(cd.value("entries").toInt(), 1);
        QCOMPARE(cd.value("currentRoot").toString(), medium);
        QVERIFY(runCli(data, {"media", "list"}).out.startsWith("CD02\t"));
        // A query reads the scan time from the register.
        QCOMPARE(runCli(data, {"query", "scanned:<1d"}).status, 0);
        QCOMPARE(runCli(data, {"query", "scanned:>1d"}).status, 1);

        const QString registerFile = MediaRegister::fileIn(data);
        QVERIFY(writeBytes(registerFile, "{ damaged"));
        const CliRun refused = runCli(data, {QStringLiteral("media"), QStringLiteral("list")});
        QCOMPARE(refused.status, 3);
        QVERIFY(refused.err.contains("media.json could not be read (it is not valid JSON"));
        QCOMPARE(runCli(data, {"scan", medium, "--source", "CD03"}).status, 0);
        QCOMPARE(titles(data).size(), 2);
        QCOMPARE(fileBytes(registerFile), QByteArray("{ damaged"));
        QCOMPARE(runCli(data, {"media", "set", "CD02", "--note", "x"}).status, 3);
        QCOMPARE(fileBytes(registerFile), QByteArray("{ damaged"));
    }

    // Source IDs from the top of the BMP and above it: media set changes
    // what it sets and keeps the scan's record. A save the register could
    // not read back is refused like any other failed save.
    void mediaSetOnAnyIdAndTooLarge()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), file = MediaRegister::fileIn(data);
        const QStringList ids{QStringLiteral("\uff23\uff24\uff10\uff11"), QStringLiteral("\U0001F3B5" "01")};
        for (const QString &id : ids) {
            QVERIFY(writeBytes(dir.filePath(id) + QStringLiteral("/a.mp3"), taggedMp3("a")));
            QCOMPARE(runCli(data, {QStringLiteral("scan"), dir.filePath(id), QStringLiteral("--source"), id}).status, 0);
        }
        for (const QString &id : ids)
            QCOMPARE(runCli(data, {QStringLiteral("media"), QStringLiteral("set"), id, QStringLiteral("--note"), id}).status, 0);
        MediaRegister media;
        QCOMPARE(int(media.read(file).state), int(MediaRegister::State::Read));
        QCOMPARE(media.records().size(), ids.size());
        for (const QString &id : ids) {
            QCOMPARE(media.find(id)->note, id);
            QCOMPARE(media.find(id)->root, dir.filePath(id));
            QCOMPARE(media.find(id)->files, 1);
        }

        // Control characters are read raw and written escaped, six bytes each.
        const QByteArray tooLarge = "{\"" + ids[0].toUtf8() + "\":{\"note\":\""
                                    + QByteArray(MediaRegister::MaxFileBytes / 6, '\x01') + "\"}}";
        QVERIFY(writeBytes(file, tooLarge));
        const CliRun refused = runCli(data, {"media", "set", ids[0], "--codepage", "windows-1251"});
        QCOMPARE(refused.status, 3);
        QVERIFY2(refused.err.endsWith("media.json: it would be 64.0 MiB, larger than the 64 MiB Ondro reads back. "
                                      "The previous file was kept.\n"),
                 refused.err.constData());
        QVERIFY(fileBytes(file) == tooLarge);
    }

    // media set --codepage: refused unless it names a code page of the
    // list, kept beside the note, and used by the next rescan; a name the
    // register holds that is not in the list stops the scan.
    void codepageSetAndRescan()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("\xCF\xF0\xE8\xE2\xE5\xF2"))); // 1251
        QCOMPARE(runCli(data, {"scan", medium, "--source", "CD02"}).status, 0);
        QCOMPARE(titles(data), QStringList{QStringLiteral("\u00CF\u00F0\u00E8\u00E2\u00E5\u00F2")});
        struct Step
        {
            QStringList arguments;
            int status;
            QByteArray error;
        };
        const QList<Step> steps{
            {{"media", "set", "CD02", "--codepage", "utf-16"}, 2, "unknown code page \"utf-16\": use one of auto, "},
            {{"media", "set", "CD02"}, 2, "nothing to set; give --note TEXT, --codepage NAME or --tags id3v1|id3v2"},
            {{"media", "set", "CD99", "--codepage", "koi8-r"}, 1, "there is no medium CD99"},
            {{"media", "set", "CD02", "--codepage", "windows-1251", "--note", "Box 1"}, 0, ""},
            {{"rescan", "--source", "CD02", "--yes"}, 0, ""}};
        for (const Step &step : steps) {
            const CliRun run = runCli(data, step.arguments);
            QCOMPARE(run.status, step.status);
            QVERIFY2(run.err.contains(step.error), run.err.constData());
        }
        QCOMPARE(titles(data), QStringList{QStringLiteral("Привет")});
        MediaRegister media;
        media.read(MediaRegister::fileIn(data));
        QCOMPARE(media.find(QStringLiteral("CD02"))->codepage, QStringLiteral("windows-1251"));
        QCOMPARE(media.find(QStringLiteral("CD02"))->note, QStringLiteral("Box 1"));

        media.find(QStringLiteral("CD02"))->codepage = QStringLiteral("cp1251");
        QVERIFY(media.save(MediaRegister::fileIn(data)).ok);
        const CliRun refused = runCli(data, {"rescan", "--source", "CD02", "--yes"});
        QCOMPARE(refused.status, 3);
        QVERIFY(refused.err.contains("cannot scan CD02: the media register gives it an unknown code page \"cp1251\""));
    }

    // media set --tags: refused unless id3v1 or id3v2, kept in the register,
    // and applied by the next rescan.
    void tagsSetAndRescan()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"),
                           id3v2Tag(3, id3v2TextFrame(3, "TIT2", 3, "Love Me Do")) + taggedMp3("Love")));
        QCOMPARE(runCli(data, {"scan", medium, "--source", "CD02"}).status, 0);
        QCOMPARE(titles(data), QStringList{"Love"});
        const CliRun refused = runCli(data, {"media", "set", "CD02", "--tags", "ape"});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains("unknown tag choice \"ape\": use one of id3v1, id3v2"), refused.err.constData());
        QCOMPARE(runCli(data, {"media", "set", "CD02", "--tags", "id3v2"}).status, 0);
        QCOMPARE(runCli(data, {"rescan", "--source", "CD02", "--yes"}).status, 0);
        QCOMPARE(titles(data), QStringList{"Love Me Do"});
        MediaRegister media;
        media.read(MediaRegister::fileIn(data));
        QCOMPARE(media.find(QStringLiteral("CD02"))->tags, QStringLiteral("id3v2"));
    }

    // The register is saved first, under the same lock: when it cannot be
    // (it would grow past what Ondro reads back), the catalogue stays as
    // it was and the run fails.
    void registerNotSavedKeepsCatalogue_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("work");
        QTest::newRow("scan") << QStringList{"scan", "{cd}/more", "--source", "CD03"} << "scan of CD03";
        QTest::newRow("rescan") << QStringList{"rescan", "--source", "CD02", "{cd}", "--yes"} << "rescan of CD02";
    }
    void registerNotSavedKeepsCatalogue()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, work);
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a")));
        QCOMPARE(runCli(data, {"scan", medium, "--source", "CD02"}).status, 0);
        // A note of control characters, read raw and written six bytes
        // each: the register can be read but not saved within its limit.
        const QString registerFile = MediaRegister::fileIn(data);
        QByteArray json = fileBytes(registerFile);
        QVERIFY(json.contains("\"note\":\"\""));
        json.replace("\"note\":\"\"", "\"note\":\"" + QByteArray(MediaRegister::MaxFileBytes / 6, '\x01') + '"');
        QVERIFY(writeBytes(registerFile, json));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a, retagged")));
        QVERIFY(writeBytes(medium + QStringLiteral("/more/b.mp3"), taggedMp3("b")));
        const QByteArray listBefore = fileBytes(data + QStringLiteral("/zembra.lst"));

        const CliRun run = runCli(data, arguments.replaceInStrings(QStringLiteral("{cd}"), medium));
        QCOMPARE(run.status, 3);
        QCOMPARE(QString::fromUtf8(run.err),
                 QStringLiteral("ondro-cli: The media register %1 could not be saved (it would be 64.0 MiB, larger "
                                "than the 64 MiB Ondro reads back), so the %2 was not saved either; the catalogue is "
                                "as it was.\n")
                     .arg(registerFile, work));
        QCOMPARE(fileBytes(data + QStringLiteral("/zembra.lst")), listBefore);
        QCOMPARE(fileBytes(registerFile), json);
    }

    // media list works each medium's figures out from its entries: a
    // second scan under one ID doubles files, bytes and seconds alike. The
    // folder of a registered medium, or an ID that differs only in case or
    // blanks, is added again after a warning; --rescan-existing rescans
    // the medium instead.
    void scanAgain_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("rescanExisting");
        QTest::addColumn<QByteArray>("warning");
        QTest::addColumn<int>("entries");
        const QByteArray other = "ondro-cli: this folder was scanned as CD02; it is added again as %1 "
                                 "(--rescan-existing rescans CD02 instead)\n";
        QTest::newRow("same ID") << "CD02" << false
                                 << QByteArray("ondro-cli: CD02 already had 2 entries; `ondro-cli rescan --source CD02` "
                                               "updates them instead\n")
                                 << 4;
        QTest::newRow("other ID") << "HD03" << false << QByteArray(other).replace("%1", "HD03") << 4;
        QTest::newRow("case") << "cd02" << false << QByteArray(other).replace("%1", "cd02") << 4;
        QTest::newRow("blanks") << " CD02" << false << QByteArray(other).replace("%1", " CD02") << 4;
        QTest::newRow("rescan existing") << "HD03" << true << QByteArray() << 2;
    }
    void scanAgain()
    {
        QFETCH(QString, source);
        QFETCH(bool, rescanExisting);
        QFETCH(QByteArray, warning);
        QFETCH(int, entries);
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        for (const char *name : {"a", "b"})
            QVERIFY(writeBytes(medium + QStringLiteral("/%1.mp3").arg(name),
                               frames(QByteArray("\xFF\xFB\x90\x00", 4), 417, 400) + id3v1Tag(name, "Band")));
        QCOMPARE(runCli(data, {"scan", medium, "--source", "CD02"}).status, 0);
        const auto listed = [&data] {
            QJsonObject figures;
            for (const QJsonValue medium : QJsonDocument::fromJson(runCli(data, {"media", "list", "--json"}).out).array())
                figures.insert(medium["source"].toString(), QJsonArray{medium["files"], medium["bytes"], medium["seconds"]});
            return figures;
        };
        const QJsonArray once = listed().value("CD02").toArray();
        QCOMPARE(once.at(0).toInt(), 2);
        QVERIFY(once.at(2).toInt() > 0);

        QStringList scan{"scan", medium, "--source", source};
        if (rescanExisting)
            scan << "--rescan-existing";
        const CliRun again = runCli(data, scan);
        QCOMPARE(again.status, 0);
        QCOMPARE(again.err, warning);
        QCOMPARE(titles(data).size(), entries);
        if (rescanExisting)
            QCOMPARE(again.out, QByteArray("Rescan CD02: 0 added, 0 removed, 0 changed, 0 moved, 2 unchanged.\n"));
        const QJsonObject figures = listed();
        const QJsonArray twice = figures.value(source).toArray();
        for (int i = 0; i < 3 && source == QLatin1String("CD02"); ++i)
            QCOMPARE(twice.at(i).toInt(), 2 * once.at(i).toInt());
        QCOMPARE(figures.contains(source), !rescanExisting);
        QCOMPARE(figures.value("CD02").toArray() == once, source != QLatin1String("CD02"));
    }

    // Copies on two media: the same bytes are the same audio; other audio
    // under the same names (case and accents aside) is the same song.
    void duplicatesAcrossMedia()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const auto track = [&](const QString &path, quint32 audio, const QByteArray &title) {
            return writeBytes(dir.filePath(path), frames(QByteArray("\xFF\xFB\x90\x64", 4), 417, 10, audio)
                                                      + id3v1Tag(title, "Band"));
        };
        QVERIFY(track(QStringLiteral("m1/a.mp3"), 1, "Song") && track(QStringLiteral("m2/copy.mp3"), 1, "Song")
                && track(QStringLiteral("m2/b.mp3"), 2, "S\xf3ng") && track(QStringLiteral("m2/c.mp3"), 3, "Other"));
        QCOMPARE(runCli(data, {"duplicates"}).status, 1); // an empty catalogue
        for (const char *medium : {"m1", "m2"})
            QCOMPARE(runCli(data, {"scan", dir.filePath(QLatin1String(medium)), "--source", QByteArray(medium).toUpper()}).status, 0);

        const QList<QByteArray> lines = runCli(data, {"duplicates"}).out.split('\n');
        QCOMPARE(lines.size(), 6); // two copies of the audio, three of the song, and the end
        QVERIFY(lines[0].startsWith("audio\t1\tM1\tonline\t0.3\tBand\tSong\t"));
        QVERIFY(lines[1].startsWith("audio\t1\tM2\tonline\t") && lines[1].endsWith("/m2/copy.mp3"));
        QVERIFY(lines[3].startsWith("song\t1\tM2\tonline\t0.3\tBand\tS\xc3\xb3ng\t"));
        const QJsonArray groups = QJsonDocument::fromJson(runCli(data, {"duplicates", "--kind", "song", "--json"}).out).array();
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups[0][QStringLiteral("copies")].toArray().size(), 3);
        QCOMPARE(runCli(data, {"duplicates", "--kind", "artist"}).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestMediaCli)
#include "test_mediacli.moc"
