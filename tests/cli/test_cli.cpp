#include "base/platform/singleinstance.h"
#include "catalogue/cataloguelistfile.h"
#include "base/platform/systempaths.h"
#include "export/textexport.h"
#include "media/frameheader.h"
#include "media/mediascan.h"
#include "clirun.h"
#include "mp3bytes.h"
#include "testfiles.h"
#include "testenv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a scan finds at the lock of its data folder.
enum LockFound { LockContent, LockFolder, HeldByDesktop, HeldByCli };

CliRun runCli(const QStringList &arguments, const QString &workingFolder = QString())
{
    return runOndroCli(QStringLiteral(ONDRO_CLI_PATH), arguments, workingFolder);
}

const QByteArray HeaderBytes("\xff\xfb\x90\x64", 4); // MPEG 1 layer 3, 128 kbps, 44.1 kHz
const QString HeaderBits = QStringLiteral("11111111 11111011 10010000 01100100");

// A small MP3 file: a frame header or none, padding, an ID3v1 tag or none.
QByteArray mp3(bool withHeader, const QByteArray &tag = {})
{
    // Two whole frames: a first frame counts only where the next follows it.
    return (withHeader ? frames(HeaderBytes, 417, 2) : QByteArray(404, 'x')) + tag;
}

QString unescape(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[++i];
            out += next == u't' ? QChar(u'\t') : next == u'n' ? QChar(u'\n') : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Tab-separated output back into records; a line that has not nine fields
// gives a record whose filename says so, so that comparisons fail visibly.
QList<TrackRecord> parseTabs(const QByteArray &out)
{
    QList<TrackRecord> records;
    const QString text = QString::fromUtf8(out);
    if (text.isEmpty())
        return records;
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (const QString &line : std::as_const(lines)) {
        const QStringList fields = line.split(u'\t');
        TrackRecord record;
        if (fields.size() != TrackFieldCount) {
            record.filename = QStringLiteral("<%1 fields in: %2>").arg(fields.size()).arg(line);
        } else {
            for (int f = 0; f < TrackFieldCount; ++f)
                record.field(f) = unescape(fields[f]);
        }
        records << record;
    }
    return records;
}

// JSON output back into records, checking every object's keys and origin.
QList<TrackRecord> parseJson(const QByteArray &out, const QString &origin = QStringLiteral("own"))
{
    QList<TrackRecord> records;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(out, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        qWarning("not a JSON array: %s", qPrintable(error.errorString()));
        TrackRecord broken;
        broken.filename = QStringLiteral("<not a JSON array>");
        return {broken};
    }
    QStringList keys(TrackRecord::fieldNames().begin(), TrackRecord::fieldNames().end());
    keys << QStringLiteral("origin");
    keys.sort();
    for (const QJsonValue &value : document.array()) {
        const QJsonObject object = value.toObject();
        TrackRecord record;
        if (object.keys() != keys || object.value(QStringLiteral("origin")).toString() != origin) {
            record.filename = QStringLiteral("<wrong keys or origin>");
        } else {
            for (int f = 0; f < TrackFieldCount; ++f)
                record.field(f) = object.value(TrackRecord::fieldNames()[size_t(f)]).toString();
        }
        records << record;
    }
    return records;
}

QList<TrackRecord> recordsOf(const RowStore &rows)
{
    QList<TrackRecord> records;
    for (qsizetype i = 0; i < rows.size(); ++i)
        records << rows.record(i);
    return records;
}

TrackRecord entry(const QString &filename, const QString &source = QStringLiteral("CD01"))
{
    TrackRecord record;
    record.filename = filename;
    record.source = source;
    return record;
}

bool saveCatalogue(const QString &dataDir, const QList<TrackRecord> &records)
{
    RowStore rows;
    for (const TrackRecord &record : records)
        rows.append(record, EntryOrigin::Own);
    return bool(CatalogueListFile::save(dataDir + QStringLiteral("/zembra.lst"), rows));
}

// A medium with files in several folders: tags and headers present or
// not, mixed-case names and extensions, files that must not be taken.
void buildMedium(const QString &root)
{
    const QByteArray tag = id3v1Tag("Title", "The Artist", "Album", "1999", 17);
    writeBytes(root + QStringLiteral("/b.mp3"), mp3(true, tag));
    writeBytes(root + QStringLiteral("/A.MP3"), mp3(true));
    writeBytes(root + QStringLiteral("/My_Song.Mp3"), mp3(false, id3v1Tag("Song", "Me", "", "2001", 255)));
    writeBytes(root + QStringLiteral("/notes.txt"), "not audio");
    writeBytes(root + QStringLiteral("/Zeta/z.mp3"), mp3(true, tag));
    writeBytes(root + QStringLiteral("/alpha/x.mp3"), mp3(false));
    writeBytes(root + QStringLiteral("/alpha/deeper/y.mp3"), mp3(true, id3v1Tag("Deep", "Digger", "Mine", "1980", 0)));
    writeBytes(root + QStringLiteral("/.hidden/h.mp3"), mp3(true, tag));
    writeBytes(root + QStringLiteral("/Caf\u00e9 \u65e5\u672c/t.mp3"), mp3(true, tag));
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scanThenListMatchesDesktopScan_data()
    {
        QTest::addColumn<bool>("relative");
        QTest::newRow("absolute path") << false;
        QTest::newRow("relative path with trailing slash") << true;
    }

    void scanThenListMatchesDesktopScan()
    {
        QFETCH(bool, relative);
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const QString medium = dir.filePath(QStringLiteral("medium"));
        buildMedium(medium);
        const TrackRecord earlier = entry(QStringLiteral("/old/earlier.mp3"), QStringLiteral("HD01"));
        QVERIFY(saveCatalogue(data, {earlier}));
        const QByteArray settings = "VERSION=2.6\r\nCOVERPATH=/covers\r\n";
        QVERIFY(writeBytes(data + QStringLiteral("/ondro2k.ini"), settings));

        const CliRun scan = runCli({QStringLiteral("--data-dir"), data, QStringLiteral("scan"),
                                    relative ? QStringLiteral("medium/") : medium, QStringLiteral("--source"),
                                    QStringLiteral("CD02")},
                                   dir.path());
        QCOMPARE(scan.status, 0);
        QCOMPARE(scan.err, QByteArray()); // not a terminal: no progress
        const ScanOutcome desktop = scanMedia(medium, QStringLiteral("CD02"));
        QCOMPARE(desktop.rows.size(), 7);
        QCOMPARE(scan.out, QStringLiteral("%1 files imported\n").arg(desktop.rows.size()).toUtf8());

        QList<TrackRecord> expected{earlier};
        expected += recordsOf(desktop.rows);
        const CliRun tabs = runCli({QStringLiteral("--data-dir"), data, QStringLiteral("list")});
        QCOMPARE(tabs.status, 0);
        QCOMPARE(parseTabs(tabs.out), expected);
        const CliRun json = runCli({QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--data-dir"), data});
        QCOMPARE(json.status, 0);
        QCOMPARE(parseJson(json.out), expected);
        QCOMPARE(fileBytes(data + QStringLiteral("/ondro2k.ini")), settings);
    }

    void catalogueSavedByDesktopReadsBack()
    {
        QTemporaryDir dir;
        TrackRecord full{QStringLiteral("/media/cd/Caf\u00e9/\u65e5\u672c.mp3"), QStringLiteral("CD02"),
                         QStringLiteral("  Artist "), QStringLiteral("Tab\there"), QStringLiteral("Back\\slash\\t"),
                         QStringLiteral("1999"), QStringLiteral("Rock"), QStringLiteral("/covers/a.jpg"),
                         HeaderBits + QLatin1Char(' ')};
        const TrackRecord bare = entry(QStringLiteral("/media/cd/bare.mp3"));
        QVERIFY(saveCatalogue(dir.path(), {full, bare}));

        const CliRun tabs = runCli({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("list")});
        QCOMPARE(tabs.status, 0);
        const QByteArray expected =
            QStringLiteral("/media/cd/Caf\u00e9/\u65e5\u672c.mp3\tCD02\t  Artist \tTab\\there\tBack\\\\slash\\\\t\t"
                           "1999\tRock\t/covers/a.jpg\t%1 \n/media/cd/bare.mp3\tCD01\t\t\t\t\t\t\t\n")
                .arg(HeaderBits)
                .toUtf8();
        QCOMPARE(tabs.out, expected);
        QCOMPARE(parseTabs(tabs.out), (QList<TrackRecord>{full, bare}));

        const CliRun json = runCli({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("list"),
                                    QStringLiteral("--json")});
        QCOMPARE(json.status, 0);
        QCOMPARE(parseJson(json.out), (QList<TrackRecord>{full, bare}));

        // Listing never writes: the file is byte for byte what the desktop saved.
        const QByteArray before = fileBytes(dir.filePath(QStringLiteral("zembra.lst")));
        runCli({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("find"), QStringLiteral("bare")});
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("zembra.lst"))), before);
    }

    void emptyCatalogueLists_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("tabs") << QStringList{QStringLiteral("list")} << QByteArray();
        QTest::newRow("json") << QStringList{QStringLiteral("list"), QStringLiteral("--json")} << QByteArray("[]\n");
    }

    void emptyCatalogueLists()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, out);
        QTemporaryDir dir; // no catalogue file at all
        const CliRun run = runCli(QStringList{QStringLiteral("--data-dir"), dir.path()} + arguments);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, out);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("zembra.lst"))));
    }

    void findUsesThePathMatchRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        const QString song = QStringLiteral("/mp3/MY_SONG.MP3");
        const QString live = QStringLiteral("/mp3/other/my song live.mp3");
        const QString cd = QStringLiteral("/media/cd02/x.mp3");
        const QString plain = QStringLiteral("/mp3/plain.mp3");
        QTest::newRow("lower case, blank for underscore") << QStringLiteral("my song") << QStringList{song, live};
        QTest::newRow("mixed case") << QStringLiteral("My Song") << QStringList{song, live};
        QTest::newRow("underscore in the text matches nothing") << QStringLiteral("my_song") << QStringList{};
        QTest::newRow("only the path is searched") << QStringLiteral("cd02") << QStringList{cd};
        QTest::newRow("empty text: every entry with a path") << QString() << QStringList{song, live, cd, plain};
        QTest::newRow("no match") << QStringLiteral("nowhere") << QStringList{};
    }

    void findUsesThePathMatchRule()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        QTemporaryDir dir;
        QVERIFY(saveCatalogue(dir.path(),
                              {entry(QStringLiteral("/mp3/MY_SONG.MP3")),
                               entry(QStringLiteral("/mp3/other/my song live.mp3")),
                               entry(QStringLiteral("/mp3/plain.mp3"), QStringLiteral("CD02")), entry(QString()),
                               entry(QStringLiteral("/media/cd02/x.mp3"))}));
        // Catalogue order, not the order of the table above.
        std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) {
            const QStringList order{QStringLiteral("/mp3/MY_SONG.MP3"), QStringLiteral("/mp3/other/my song live.mp3"),
                                    QStringLiteral("/mp3/plain.mp3"), QStringLiteral("/media/cd02/x.mp3")};
            return order.indexOf(a) < order.indexOf(b);
        });

        for (bool json : {false, true}) {
            QStringList arguments{QStringLiteral("--data-dir"), dir.path(), QStringLiteral("find"), text};
            if (json)
                arguments << QStringLiteral("--json");
            const CliRun run = runCli(arguments);
            QCOMPARE(run.status, found.isEmpty() ? 1 : 0);
            QStringList got;
            for (const TrackRecord &record : json ? parseJson(run.out) : parseTabs(run.out))
                got << record.filename;
            QCOMPARE(got, found);
        }
    }

    void findMatchesAccentedPathsWhateverTheCase()
    {
        QTemporaryDir dir;
        QVERIFY(saveCatalogue(dir.path(), {entry(QStringLiteral("/mp3/\u00c9T\u00c9_2001.mp3"))}));
        const CliRun run = runCli({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("find"),
                                   QStringLiteral("\u00e9t\u00e9 2001")});
        QCOMPARE(run.status, 0);
        QCOMPARE(parseTabs(run.out).size(), 1);
    }

    void headerAndTag_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("headerStatus");
        QTest::addColumn<QString>("headerFirstLine");
        QTest::addColumn<int>("tagStatus");
        QTest::addColumn<QByteArray>("tagOut");
        const QByteArray noTag = "artist: \ntrack: \nalbum: \nyear: \ngenre: \n";
        const QByteArray tagged = "artist: The Artist\ntrack: Title\nalbum: Album\nyear: 1999\ngenre: Rock\n";
        const QByteArray tag = id3v1Tag("Title", "The Artist", "Album", "1999", 17);
        QTest::newRow("header and tag") << mp3(true, tag) << 0 << HeaderBits << 0 << tagged;
        QTest::newRow("header only") << mp3(true) << 0 << HeaderBits << 1 << noTag;
        QTest::newRow("tag only") << mp3(false, tag) << 1 << QStringLiteral("n/a") << 0 << tagged;
        QTest::newRow("neither") << mp3(false) << 1 << QStringLiteral("n/a") << 1 << noTag;
        QTest::newRow("empty file") << QByteArray() << 1 << QStringLiteral("n/a") << 1 << noTag;
        QTest::newRow("tag with a genre number without a name")
            << mp3(true, id3v1Tag("T", "A", "", "", 200)) << 0 << HeaderBits << 0
            << QByteArray("artist: A\ntrack: T\nalbum: \nyear: \ngenre: \n");
    }

    void headerAndTag()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, headerStatus);
        QFETCH(QString, headerFirstLine);
        QFETCH(int, tagStatus);
        QFETCH(QByteArray, tagOut);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("track.mp3"));
        QVERIFY(writeBytes(file, bytes));

        const CliRun header = runCli({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("header"), file});
        QCOMPARE(header.status, headerStatus);
        const QStringList lines = QString::fromUtf8(header.out).split(u'\n');
        QCOMPARE(lines.value(0), headerFirstLine);
        if (headerStatus == 0) {
            // The second line is the details window's line for what a scan stores.
            QCOMPARE(lines.size(), 3);
            QCOMPARE(lines.value(1), FrameHeader::describeFrameHeader(readTrackInfo(file).audioheader));
            QVERIFY(lines.value(1).contains(QStringLiteral("128 kbps")));
        } else {
            QCOMPARE(header.out, QByteArray("n/a\n"));
        }

        const CliRun tag = runCli({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("tag"), file});
        QCOMPARE(tag.status, tagStatus);
        QCOMPARE(tag.out, tagOut);
    }

    void exitStatuses_data()
    {
        // {data} is a catalogue folder holding one entry, {media} a folder
        // with one MP3 file, {file} that file, {bad} a data folder whose
        // "zembra.lst" is a folder, {plain} a plain file.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // part of standard error
        const auto args = [](const char *text) { return QString::fromLatin1(text).split(u' '); };

        QTest::newRow("version") << args("--version") << 0 << QString();
        QTest::newRow("list") << args("--data-dir {data} list") << 0 << QString();
        QTest::newRow("data-dir after the command") << args("list --data-dir {data}") << 0 << QString();
        QTest::newRow("find with a match") << args("--data-dir {data} find LISTED") << 0 << QString();
        QTest::newRow("find without a match") << args("--data-dir {data} find absent") << 1 << QString();
        QTest::newRow("header without a header") << args("header {plain}") << 1 << QString();

        QTest::newRow("no command") << args("--data-dir {data}") << 2 << QStringLiteral("no command");
        QTest::newRow("unknown command") << args("frobnicate") << 2 << QStringLiteral("frobnicate");
        QTest::newRow("unknown option") << args("--data-dir {data} list --bogus") << 2 << QStringLiteral("bogus");
        QTest::newRow("unknown global option") << args("--bogus list") << 2 << QStringLiteral("bogus");
        QTest::newRow("data-dir without a value") << args("list --data-dir") << 2 << QString();
        QTest::newRow("scan without source") << args("--data-dir {data} scan {media}") << 2
                                             << QStringLiteral("source");
        QTest::newRow("scan with empty source") << (args("--data-dir {data} scan {media} --source") << QString())
                                                << 2 << QStringLiteral("source");
        QTest::newRow("scan without path") << args("--data-dir {data} scan --source CD1") << 2
                                           << QStringLiteral("missing");
        QTest::newRow("find without text") << args("--data-dir {data} find") << 2 << QStringLiteral("missing");
        QTest::newRow("header with two files") << args("header {file} {file}") << 2 << QStringLiteral("too many");
        QTest::newRow("list with an argument") << args("--data-dir {data} list x") << 2 << QStringLiteral("too many");
        QTest::newRow("export of an unknown kind") << args("--data-dir {data} export pdf") << 2
                                                   << QStringLiteral("pdf");

        QTest::newRow("header of a missing file") << args("header {media}/gone.mp3") << 3 << QStringLiteral("gone.mp3");
        QTest::newRow("tag of a folder") << args("tag {media}") << 3 << QStringLiteral("folder");
        QTest::newRow("scan of a file") << args("--data-dir {data} scan {file} --source CD1") << 3
                                        << QStringLiteral("not a folder");
        QTest::newRow("scan of a missing folder") << args("--data-dir {data} scan {media}/gone --source CD1") << 3
                                                  << QStringLiteral("gone");
        QTest::newRow("list of an unreadable catalogue") << args("--data-dir {bad} list") << 3
                                                         << QStringLiteral("zembra.lst");
        QTest::newRow("find in an unreadable catalogue") << args("--data-dir {bad} find x") << 3
                                                         << QStringLiteral("zembra.lst");
        QTest::newRow("scan into an unreadable catalogue") << args("--data-dir {bad} scan {media} --source CD1") << 3
                                                           << QStringLiteral("zembra.lst");
        QTest::newRow("tag of a named pipe") << args("tag {fifo}") << 3 << QStringLiteral("named pipe");
        QTest::newRow("header of a link to a named pipe") << args("header {fifolink}") << 3
                                                          << QStringLiteral("named pipe");
        QTest::newRow("tag of a device") << args("tag /dev/null") << 3 << QStringLiteral("device");
        QTest::newRow("list of a catalogue that is a named pipe") << args("--data-dir {piped} list") << 3
                                                                  << QStringLiteral("zembra.lst");
        QTest::newRow("scan into a catalogue linked to a device")
            << args("--data-dir {zero} scan {media} --source CD1") << 3 << QStringLiteral("zembra.lst");
        QTest::newRow("list of a catalogue linked to nothing") << args("--data-dir {linked} list") << 3
                                                               << QStringLiteral("sync/zembra.lst, which does not exist");
        QTest::newRow("scan into a catalogue linked to nothing")
            << args("--data-dir {linked} scan {media} --source CD1") << 3
            << QStringLiteral("sync/zembra.lst, which does not exist");
        QTest::newRow("media list of a register linked to nothing") << args("--data-dir {linked} media list") << 3
                                                                    << QStringLiteral("sync/media.json, which does not exist");
        QTest::newRow("list with a plain file as data folder") << args("--data-dir {plain} list") << 3
                                                               << QStringLiteral("not a folder");
        QTest::newRow("find under a plain file") << args("--data-dir {plain}/sub find x") << 3
                                                 << QStringLiteral("plain.txt/sub");
        QTest::newRow("scan into a plain file") << args("--data-dir {plain} scan {media} --source CD1") << 3
                                                << QStringLiteral("not a folder");
        QTest::newRow("list of a damaged catalogue warns") << args("--data-dir {damaged} list") << 0
                                                           << QStringLiteral("damaged");
        QTest::newRow("find in a damaged catalogue warns") << args("--data-dir {damaged} find whole") << 0
                                                           << QStringLiteral("damaged");
        QTest::newRow("scan refuses a damaged catalogue") << args("--data-dir {damaged} scan {media} --source CD1")
                                                          << 3 << QStringLiteral("--accept-damaged");
        QTest::newRow("scan lists what it skipped") << args("--data-dir {other} scan {odd} --source CD1") << 0
                                                    << QStringLiteral("odd/p.mp3");
        QTest::newRow("export into a missing folder") << args("--data-dir {data} export text --to {media}/gone") << 3
                                                      << QStringLiteral("gone");
        QTest::newRow("export into a plain file") << args("--data-dir {data} export text --to {plain}") << 3
                                                  << QStringLiteral("plain.txt: it is not a folder");
        QTest::newRow("library with an empty name") << (args("--data-dir {data} library create") << QString()) << 2
                                                    << QStringLiteral("empty file name");
    }

    void exitStatuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const QString media = dir.filePath(QStringLiteral("media"));
        const QString bad = dir.filePath(QStringLiteral("bad"));
        const QString plain = dir.filePath(QStringLiteral("plain.txt"));
        QVERIFY(saveCatalogue(data, {entry(QStringLiteral("/mp3/listed.mp3"))}));
        QVERIFY(writeBytes(media + QStringLiteral("/one.mp3"), mp3(true)));
        QVERIFY(QDir().mkpath(bad + QStringLiteral("/zembra.lst")));
        QVERIFY(writeBytes(plain, "plain text"));
        const QByteArray catalogue = fileBytes(data + QStringLiteral("/zembra.lst"));
        // Special files: readers must refuse them at once, never block.
        const QString fifo = dir.filePath(QStringLiteral("fifo.mp3"));
        const QString piped = dir.filePath(QStringLiteral("piped"));
        const QString zero = dir.filePath(QStringLiteral("zero"));
        const QString odd = dir.filePath(QStringLiteral("odd"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QVERIFY(QFile::link(fifo, dir.filePath(QStringLiteral("fifolink.mp3"))));
        QVERIFY(QDir().mkpath(piped) && QDir().mkpath(zero));
        QVERIFY(::mkfifo(QFile::encodeName(piped + QStringLiteral("/zembra.lst")).constData(), 0600) == 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero + QStringLiteral("/zembra.lst")));
        QVERIFY(writeBytes(odd + QStringLiteral("/a.mp3"), mp3(true)));
        QVERIFY(::mkfifo(QFile::encodeName(odd + QStringLiteral("/p.mp3")).constData(), 0600) == 0);
        // One whole record, then a record cut off inside its fields.
        const QString damaged = dir.filePath(QStringLiteral("damaged"));
        QVERIFY(saveCatalogue(damaged, {entry(QStringLiteral("/mp3/whole.mp3"))}));
        QFile cut(damaged + QStringLiteral("/zembra.lst"));
        QVERIFY(cut.open(QIODevice::Append) && cut.write("/mp3/cut.mp3\r\nCD01\r\n") > 0);
        cut.close();
        const QByteArray damagedBytes = fileBytes(damaged + QStringLiteral("/zembra.lst"));
        // Links to files of a folder that is not there (a sync folder not mounted).
        const QString linked = dir.filePath(QStringLiteral("linked"));
        QVERIFY(QDir().mkpath(linked) && makeSymlink(QStringLiteral("../sync/zembra.lst"), linked + QStringLiteral("/zembra.lst"))
                && makeSymlink(QStringLiteral("../sync/media.json"), linked + QStringLiteral("/media.json")));

        for (QString &argument : arguments) {
            argument.replace(QStringLiteral("{data}"), data);
            argument.replace(QStringLiteral("{media}"), media);
            argument.replace(QStringLiteral("{file}"), media + QStringLiteral("/one.mp3"));
            argument.replace(QStringLiteral("{bad}"), bad);
            argument.replace(QStringLiteral("{plain}"), plain);
            argument.replace(QStringLiteral("{fifolink}"), dir.filePath(QStringLiteral("fifolink.mp3")));
            argument.replace(QStringLiteral("{fifo}"), fifo);
            argument.replace(QStringLiteral("{piped}"), piped);
            argument.replace(QStringLiteral("{zero}"), zero);
            argument.replace(QStringLiteral("{damaged}"), damaged);
            argument.replace(QStringLiteral("{odd}"), odd);
            argument.replace(QStringLiteral("{linked}"), linked);
            argument.replace(QStringLiteral("{other}"), dir.filePath(QStringLiteral("other")));
        }
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, status);
        if (status >= 2)
            QVERIFY2(run.err.startsWith("ondro-cli: "), run.err.constData());
        if (!message.isEmpty())
            QVERIFY2(QString::fromUtf8(run.err).contains(message), run.err.constData());
        // No command in the table may change the catalogue or the plain file.
        QCOMPARE(fileBytes(data + QStringLiteral("/zembra.lst")), catalogue);
        QCOMPARE(fileBytes(plain), QByteArray("plain text"));
        QVERIFY(QFileInfo(bad + QStringLiteral("/zembra.lst")).isDir());
        QCOMPARE(fileBytes(damaged + QStringLiteral("/zembra.lst")), damagedBytes);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("sync"))));
        QVERIFY2(!run.err.contains("previous file was kept"), run.err.constData());
    }

    // Two scans of 3,000 files each into one data folder at the same time:
    // they take turns, and the catalogue ends with every entry of both.
    void concurrentScansKeepEveryEntry()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const int perTree = 3000;
        for (const char *tree : {"one", "two"})
            for (int i = 0; i < perTree; ++i)
                QVERIFY(writeBytes(dir.filePath(QStringLiteral("%1/%2/%3.mp3").arg(QLatin1String(tree)).arg(i % 30).arg(i)),
                                  mp3(true)));
        QList<QProcess *> scans;
        for (const char *tree : {"one", "two"}) {
            auto *process = new QProcess(this);
            process->start(QStringLiteral(ONDRO_CLI_PATH),
                           {QStringLiteral("--data-dir"), data, QStringLiteral("scan"),
                            dir.filePath(QLatin1String(tree)), QStringLiteral("--source"), QLatin1String(tree)});
            scans << process;
        }
        for (QProcess *process : std::as_const(scans)) {
            QVERIFY(process->waitForFinished(120000));
            QCOMPARE(process->exitCode(), 0);
            QCOMPARE(process->readAllStandardOutput(), QByteArray("3000 files imported\n"));
            delete process;
        }
        const RowStore rows = CatalogueListFile::read(data + QStringLiteral("/zembra.lst")).rows;
        QCOMPARE(rows.size(), 2 * perTree);
        QSet<QString> sources;
        for (qsizetype i = 0; i < rows.size(); ++i)
            sources.insert(rows.field(i, FieldSource));
        QCOMPARE(sources, (QSet<QString>{QStringLiteral("one"), QStringLiteral("two")}));
    }

    // While the desktop program holds its lock, a scan of its data folder
    // refuses; a scan of another data folder uses a lock of its own.
    // What saves and exports killed half-way left goes as ondro-cli starts;
    // a recent file may still be a living writer's.
    void startRemovesAbandonedSaves()
    {
        QTemporaryDir dir;
        const QString exports = SystemPaths::exportsFolderPath();
        const QStringList abandoned{dir.filePath(QStringLiteral(".zembra.lst.k3x9a.tmp")),
                                    exports + QStringLiteral("/.ondro.csv.1z2y.tmp")};
        const QString recent = exports + QStringLiteral("/.ondro.csv.77.tmp");
        QVERIFY(writeBytes(recent, "partial"));
        for (const QString &file : abandoned) {
            QFile f(file);
            QVERIFY(writeBytes(file, "partial") && f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        }
        QCOMPARE(runCli({QStringLiteral("--data-dir"), dir.path(), QStringLiteral("list")}).status, 0);
        for (const QString &file : abandoned)
            QVERIFY2(!QFile::exists(file), qPrintable(file));
        QVERIFY(QFile::remove(recent));
    }

    void scanRefusesWhileTheDesktopRuns_data()
    {
        QTest::addColumn<int>("dataDir"); // 0: default, 1: the desktop's folder named, 2: another folder
        QTest::addColumn<int>("status");
        QTest::newRow("default data folder") << 0 << 3;
        QTest::newRow("the desktop's folder named") << 1 << 3;
        QTest::newRow("another data folder") << 2 << 0;
    }

    void scanRefusesWhileTheDesktopRuns()
    {
        QFETCH(int, dataDir);
        QFETCH(int, status);
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("media/a.mp3")), mp3(true)));
        const QString desktopFolder = SystemPaths::windowsDirectory();
        QDir(desktopFolder).removeRecursively();
        const QString folder = dataDir == 2 ? dir.filePath(QStringLiteral("data")) : desktopFolder;
        QVERIFY(saveCatalogue(folder, {entry(QStringLiteral("/mp3/kept.mp3"))}));
        const QByteArray before = fileBytes(folder + QStringLiteral("/zembra.lst"));

        SingleInstance desktop;
        QVERIFY(desktop.acquire());
        QStringList arguments{QStringLiteral("scan"), dir.filePath(QStringLiteral("media")), QStringLiteral("--source"),
                              QStringLiteral("CD1")};
        if (dataDir > 0)
            arguments = QStringList{QStringLiteral("--data-dir"), folder} + arguments;
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, status);
        if (status == 3) {
            QVERIFY2(run.err.contains("Ondro is running"), run.err.constData());
            QCOMPARE(fileBytes(folder + QStringLiteral("/zembra.lst")), before);
        } else {
            QCOMPARE(CatalogueListFile::read(folder + QStringLiteral("/zembra.lst")).rows.size(), 2);
        }
    }

    // What a scan finds at the lock of the data folder, run without a
    // runtime folder as under cron: a lock naming no live owner is taken
    // over, saying so; a folder there is reported with the system's
    // reason; a live holder is found whatever either environment says.
    void scanMeetsTheLock_data()
    {
        QTest::addColumn<int>("found");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("message");
        const QByteArray dead = "999999999\nondro-cli\n" + QSysInfo::machineHostName().toUtf8() + "\n";
        QTest::newRow("empty lock file") << int(LockContent) << QByteArray() << 0 << QByteArray("took over");
        QTest::newRow("garbage") << int(LockContent) << QByteArray("not a lock\n\x01") << 0 << QByteArray("took over");
        QTest::newRow("dead process") << int(LockContent) << dead << 0 << QByteArray("took over");
        QTest::newRow("folder named ondro.lock") << int(LockFolder) << QByteArray() << 3 << QByteArray("Is a directory");
        QTest::newRow("desktop running") << int(HeldByDesktop) << QByteArray() << 3 << QByteArray("Ondro is running");
        QTest::newRow("ondro-cli running") << int(HeldByCli) << QByteArray() << 0 << QByteArray("waiting for another");
    }

    void scanMeetsTheLock()
    {
        QFETCH(int, found);
        QFETCH(QByteArray, content);
        QFETCH(int, status);
        QFETCH(QByteArray, message);
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("media/a.mp3")), mp3(true)));
        const QString data = SystemPaths::windowsDirectory();
        QDir(data).removeRecursively();
        const QString lockPath = data + QStringLiteral("/ondro.lock");
        if (found == LockContent)
            QVERIFY(writeBytes(lockPath, content));
        else if (found == LockFolder)
            QVERIFY(QDir().mkpath(lockPath));
        std::optional<SingleInstance> desktop;
        QFile cliLock(lockPath); // held as an ondro-cli holds it: its owner written, flock()ed
        if (found == HeldByDesktop) {
            desktop.emplace();
            QVERIFY(desktop->acquire());
        } else if (found == HeldByCli) {
            QVERIFY(QDir().mkpath(data) && cliLock.open(QIODevice::WriteOnly));
            cliLock.write(QByteArray::number(QCoreApplication::applicationPid()) + "\nondro-cli\n" +
                          QSysInfo::machineHostName().toUtf8() + "\n");
            QVERIFY(cliLock.flush() && ::flock(cliLock.handle(), LOCK_EX | LOCK_NB) == 0);
        }

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        process.setProcessEnvironment(environment);
        process.setReadChannel(QProcess::StandardError);
        process.start(QStringLiteral(ONDRO_CLI_PATH), {QStringLiteral("scan"), dir.filePath(QStringLiteral("media")),
                                                       QStringLiteral("--source"), QStringLiteral("CD1")});
        QByteArray err;
        if (found == HeldByCli) {
            while (!err.contains("waiting") && process.waitForReadyRead(30000))
                err += process.readAllStandardError();
            QVERIFY2(process.state() == QProcess::Running, err.constData());
            QVERIFY(cliLock.remove());
        }
        QVERIFY(process.waitForFinished(60000));
        desktop.reset();
        err += process.readAllStandardError();
        QCOMPARE(process.exitCode(), status);
        QVERIFY2(err.contains(message), err.constData());
        if (found != HeldByDesktop && found != HeldByCli)
            QVERIFY2(err.contains(lockPath.toUtf8()), err.constData());
        QCOMPARE(CatalogueListFile::read(data + QStringLiteral("/zembra.lst")).rows.size(), status == 0 ? 1 : 0);
        QCOMPARE(QFileInfo::exists(lockPath), found == LockFolder);
        QVERIFY(!QFileInfo::exists(lockPath + QStringLiteral(".rmlock")));
    }

    // Once the catalogue is saved, a summary that cannot be written is
    // reported but the exit status says the import happened.
    void scanWhoseSummaryCannotBeWrittenSaysItSaved()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("media/a.mp3")), mp3(true)));
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(ONDRO_CLI_PATH), {QStringLiteral("--data-dir"), data, QStringLiteral("scan"),
                                                       dir.filePath(QStringLiteral("media")),
                                                       QStringLiteral("--source"), QStringLiteral("CD1")});
        QVERIFY(process.waitForFinished(60000));
        const QByteArray err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(err.contains("No space left on device") && err.contains("saved"), err.constData());
        QCOMPARE(CatalogueListFile::read(data + QStringLiteral("/zembra.lst")).rows.size(), 1);
    }

    // Names whose bytes are not UTF-8 would decode to another folder: the
    // command refuses instead of reading or making that folder.
    void folderNamesThatAreNotUtf8AreRefused_data()
    {
        QTest::addColumn<QString>("script"); // run by sh with $0 = ondro-cli, $1 = a work folder
        QTest::newRow("--data-dir") << QStringLiteral("exec \"$0\" --data-dir \"$1/$(printf 'd\\377')\" list");
        QTest::newRow("--data-dir after the command")
            << QStringLiteral("exec \"$0\" list --data-dir=\"$1/$(printf 'd\\377')\"");
        QTest::newRow("home folder")
            << QStringLiteral("HOME=\"$1/$(printf 'h\\376')\" XDG_DATA_HOME= exec \"$0\" scan \"$1\" --source CD1");
        QTest::newRow("scan path") << QStringLiteral("exec \"$0\" --data-dir \"$1/data\" scan \"$1/$(printf 'm\\377')\" --source X");
    }

    void folderNamesThatAreNotUtf8AreRefused()
    {
        QFETCH(QString, script);
        QTemporaryDir dir;
        QProcess process;
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral(ONDRO_CLI_PATH), dir.path()});
        QVERIFY(process.waitForFinished(60000));
        const QByteArray err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 3);
        QVERIFY2(err.contains("not valid UTF-8"), err.constData());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    // The save fails half-way through the new file (a file size limit,
    // which binds root too): the old catalogue stays and nothing is left.
    void failedSaveKeepsTheOldCatalogue()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QList<TrackRecord> records;
        for (int i = 0; i < 40; ++i)
            records << entry(QStringLiteral("/mp3/kept-%1.mp3").arg(i));
        QVERIFY(saveCatalogue(data, records));
        const QByteArray before = fileBytes(data + QStringLiteral("/zembra.lst"));
        QVERIFY(before.size() > 1024);
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("media/new.mp3")), mp3(true)));

        QProcess process;
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 1; exec \"$0\" --data-dir \"$1\" scan \"$2\" --source CD1"),
                       QStringLiteral(ONDRO_CLI_PATH), data, dir.filePath(QStringLiteral("media"))});
        QVERIFY(process.waitForFinished(60000));
        const QByteArray err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), 3);
        QVERIFY2(err.contains("zembra.lst") && err.contains("File too large"), err.constData());
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        QCOMPARE(fileBytes(data + QStringLiteral("/zembra.lst")), before);
        QCOMPARE(QDir(data).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("zembra.lst")});
    }

    void scanOfAFolderWithoutTracksLeavesTheCatalogueAlone()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("empty"))));
        const CliRun run = runCli({QStringLiteral("--data-dir"), data, QStringLiteral("scan"),
                                   dir.filePath(QStringLiteral("empty")), QStringLiteral("--source"),
                                   QStringLiteral("CD1")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray("0 files imported\n"));
        QVERIFY(!QFile::exists(data + QStringLiteral("/zembra.lst")));
    }

    void exportTextWritesTheDesktopFile()
    {
        QTemporaryDir dir;
        const QList<TrackRecord> records{entry(QStringLiteral("/mp3/a.mp3")), entry(QStringLiteral("/mp3/b.mp3"))};
        QVERIFY(saveCatalogue(dir.path(), records));
        RowStore rows;
        for (const TrackRecord &record : records)
            rows.append(record, EntryOrigin::Own);
        const QString reference = dir.filePath(QStringLiteral("reference.txt"));
        QVERIFY(TextExport::save(reference, rows));

        // Into --to DIR, and by default into the exports folder of the
        // (isolated) home.
        const QString to = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(to));
        const QString defaultPath = TestEnv::home() + QStringLiteral("/Documents/Ondro/ondrolist.txt");
        const QList<std::pair<QStringList, QString>> cases{
            {{QStringLiteral("--to"), to}, to + QStringLiteral("/ondrolist.txt")},
            {{}, defaultPath},
        };
        for (const auto &[extra, path] : cases) {
            const CliRun run = runCli(QStringList{QStringLiteral("--data-dir"), dir.path(), QStringLiteral("export"),
                                                  QStringLiteral("text")} +
                                      extra);
            QCOMPARE(run.status, 0);
            QCOMPARE(run.out, (path + QLatin1Char('\n')).toUtf8());
            QCOMPARE(fileBytes(path), fileBytes(reference));
        }
    }

    void helpListsEveryCommand_data()
    {
        QTest::addColumn<QString>("command");
        for (const char *name : {"scan", "list", "find", "header", "tag", "export", "library"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void helpListsEveryCommand()
    {
        QFETCH(QString, command);
        const CliRun overview = runCli({QStringLiteral("--help")});
        QCOMPARE(overview.status, 0);
        QVERIFY(overview.out.startsWith("Usage: ondro-cli [options] COMMAND"));
        QVERIFY2(overview.out.contains("\n  " + command.toUtf8() + ' '), overview.out.constData());

        // Help after a command wins over its missing arguments.
        const CliRun own = runCli({command, QStringLiteral("--help")});
        QCOMPARE(own.status, 0);
        QVERIFY2(own.out.startsWith("Usage: ondro-cli [options] " + command.toUtf8()), own.out.constData());
        QVERIFY(own.out.contains("Exit status"));
    }

    void versionIsTheProgramVersion()
    {
        const CliRun run = runCli({QStringLiteral("--version")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray("ondro-cli 2.6\n"));
    }

    // Names the catalogue cannot store are counted in the summary; the
    // catalogue written is all UTF-8, its Windows-1252 record and the
    // entry of a file name that is not UTF-8 (its bytes escaped) included.
    void scanCountsSkippedNamesAndWritesUtf8()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const QString tree = dir.filePath(QStringLiteral("tree"));
        QVERIFY(writeBytes(data + QStringLiteral("/zembra.lst"), "/old/Caf\xe9.mp3\r\nCD0\r\n" + QByteArray("\r\n").repeated(9)));
        QVERIFY(writeBytes(tree + QStringLiteral("/a.mp3"), mp3(true)));
        const QByteArray notUtf8 = QFile::encodeName(tree) + "/c\xff.mp3";
        for (const QByteArray &name : {QFile::encodeName(tree) + "/b\n.mp3", notUtf8})
            QVERIFY(::close(::open(name.constData(), O_WRONLY | O_CREAT, 0644)) == 0);
        const CliRun run = runCli({QStringLiteral("--data-dir"), data, QStringLiteral("scan"), tree,
                                   QStringLiteral("--source"), QStringLiteral("CD1")});
        ::unlink(notUtf8.constData());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray("2 files imported, 1 skipped (1 name with a line break)\n"));
        const QByteArray saved = fileBytes(data + QStringLiteral("/zembra.lst"));
        QVERIFY(QByteArrayView(saved).isValidUtf8());
        QVERIFY(saved.startsWith("/old/Caf\xc3\xa9.mp3\r\nCD0\r\n"));
        QVERIFY(saved.contains(QFile::encodeName(tree) + "/a.mp3\r\nCD1\r\n"));
        QVERIFY(saved.contains(QFile::encodeName(tree) + "/c\xc3\xbf.mp3\r\nCD1\r\n"));
        QVERIFY(saved.contains(" raw=c%FF.mp3"));
    }
};

ONDRO_TEST_MAIN(CliTest)
#include "test_cli.moc"
