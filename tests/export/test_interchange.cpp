// The interchange exports read back by readers that owe nothing to the
// writers: CSV by Python's csv module (strict), JSON Lines by QJsonDocument
// per line, XSPF by xmllint against the format's schema (xspf.xsd) and
// QXmlStreamReader (its values), m3u8 byte for byte; each from entries with
// hostile values. Then the paths: relative ones, file:// URIs.
#include "export/exportflow.h"
#include "export/interchange.h"
#include "hostilerows.h"
#include "catalogue/extensionline.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <cctype>

using Interchange::Format;

namespace {

// Writes the hostile rows in format and returns the file's bytes.
QByteArray written(Format format, const QString &path)
{
    const RowStore rows = HostileRows::rows();
    const SaveResult saved = Interchange::save(path, format, streamOf(rows));
    return saved ? fileBytes(path) : QByteArray("<not written: ") + saved.error.toUtf8() + '>';
}

// Output of a program run to its end; empty when it failed.
QByteArray programOutput(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << program << arguments << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}

// What xmllint says against the file of XSPF at path, checked against the
// format's schema; empty when it is valid.
QByteArray xspfSchemaErrors(const QString &path)
{
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty())
        return "xmllint is missing: scripts/install-deps.sh installs it";
    QProcess lint;
    lint.start(xmllint, {QStringLiteral("--noout"), QStringLiteral("--schema"), QFINDTESTDATA("xspf.xsd"), path});
    if (!lint.waitForFinished() || lint.exitStatus() != QProcess::NormalExit)
        return "xmllint did not finish";
    return lint.exitCode() == 0 ? QByteArray() : lint.readAllStandardError();
}

// The text of an XSPF track's elements, by name.
QMap<QString, QString> readTrack(QXmlStreamReader &xml)
{
    QMap<QString, QString> values;
    while (xml.readNextStartElement())
        values.insert(xml.name().toString(), xml.readElementText());
    return values;
}

QString replaced(QString text)
{
    return text.replace(QChar(u'\u0001'), QChar(u'\ufffd'));
}

} // namespace

class InterchangeTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void csvReadByPython()
    {
        const QString path = dir.filePath(QStringLiteral("hostile.csv"));
        const QByteArray bytes = written(Format::Csv, path);
        QVERIFY(bytes.endsWith("\r\n"));
        const QByteArray json = programOutput(
            QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import csv, json, sys; print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', "
                            "encoding='utf-8'), strict=True))))"),
             path});
        const QJsonArray records = QJsonDocument::fromJson(json).array();
        QCOMPARE(records.size(), HostileRows::entries().size() + 1);
        QCOMPARE(records.at(0).toVariant().toStringList().join(QLatin1Char(',')),
                 QStringLiteral("filename,source,artist,track,album,year,genre,coverimage,audioheader,size,mtime,dur,"
                                "kbps,mode,rate,enc,aid,est,dmg,trk,disc"));
        for (qsizetype i = 0; i < HostileRows::entries().size(); ++i)
            QCOMPARE(records.at(i + 1).toVariant().toStringList(),
                     HostileRows::entries().at(i).fields + HostileRows::facts(i));
    }

    void jsonLinesReadBack()
    {
        const QList<QByteArray> lines = written(Format::Jsonl, dir.filePath(QStringLiteral("hostile.jsonl"))).split('\n');
        QCOMPARE(lines.size(), HostileRows::entries().size() + 1);
        QVERIFY(lines.last().isEmpty());
        const auto &names = TrackRecord::fieldNames();
        for (qsizetype i = 0; i < HostileRows::entries().size(); ++i) {
            QJsonParseError error;
            const QJsonObject object = QJsonDocument::fromJson(lines.at(i), &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, lines.at(i).constData());
            for (int f = 0; f < TrackFieldCount; ++f)
                QCOMPARE(object.value(names[size_t(f)]).toString(), HostileRows::entries().at(i).fields.value(f));
            QCOMPARE(object.size(), TrackFieldCount + (i == 0 ? 10 : i == 1 ? 3 : 0));
        }
        const QJsonObject first = QJsonDocument::fromJson(lines.at(0)).object();
        QCOMPARE(first.value(QStringLiteral("size")).toInteger(), 4823112);
        QCOMPARE(first.value(QStringLiteral("dur")).toDouble(), 215.3);
        QCOMPARE(first.value(QStringLiteral("enc")).toString(), QStringLiteral("LAME 3.100"));
        QCOMPARE(first.value(QStringLiteral("aid")).toString(), QStringLiteral("b6caa0fcb2a37478"));
        QCOMPARE(first.value(QStringLiteral("trk")), QJsonValue(3));
        const QJsonObject second = QJsonDocument::fromJson(lines.at(1)).object();
        QCOMPARE(second.value(QStringLiteral("est")), QJsonValue(1)); // a number, as the command line's JSON has it
        QCOMPARE(second.value(QStringLiteral("dmg")), QJsonValue(QStringLiteral("short")));
    }

    void xspfReadBack()
    {
        const QString path = dir.filePath(QStringLiteral("hostile.xspf"));
        const QByteArray bytes = written(Format::Xspf, path);
        QCOMPARE(xspfSchemaErrors(path), QByteArray());
        // The schema holds: a track out of its list, or a duration that is
        // no whole number, is refused.
        for (const auto &[from, to] : {std::pair{"<duration>215300</", "<duration>215.3</"},
                                       std::pair{"  </trackList>\n", "  </trackList>\n<track/>\n"}}) {
            const QString bad = dir.filePath(QStringLiteral("bad.xspf"));
            QVERIFY(writeBytes(bad, QByteArray(bytes).replace(from, to)));
            QVERIFY(!xspfSchemaErrors(bad).isEmpty());
        }

        QXmlStreamReader xml(bytes);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QStringLiteral("playlist"));
        QCOMPARE(xml.namespaceUri(), QStringLiteral("http://xspf.org/ns/0/"));
        QCOMPARE(xml.attributes().value(QStringLiteral("version")), QStringLiteral("1"));
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QStringLiteral("trackList"));
        qsizetype i = 0;
        while (xml.readNextStartElement()) {
            QCOMPARE(xml.name(), QStringLiteral("track"));
            const QMap<QString, QString> track = readTrack(xml);
            const QStringList &fields = HostileRows::entries().at(i).fields;
            QCOMPARE(QUrl(track.value(QStringLiteral("location"))).toLocalFile(), fields.at(FieldFilename));
            QCOMPARE(track.value(QStringLiteral("title")), fields.at(FieldTrack));
            QCOMPARE(track.value(QStringLiteral("creator")), replaced(fields.at(FieldArtist)));
            QCOMPARE(track.value(QStringLiteral("album")), fields.at(FieldAlbum));
            QCOMPARE(track.value(QStringLiteral("trackNum")), i == 0 ? QStringLiteral("3") : QString());
            QCOMPARE(track.value(QStringLiteral("duration")),
                     i == 0 ? QStringLiteral("215300") : i == 1 ? QStringLiteral("59500") : QString());
            ++i;
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(i, HostileRows::entries().size());
    }

    void m3u8Bytes()
    {
        const QString path = dir.filePath(QStringLiteral("hostile.m3u8"));
        QCOMPARE(written(Format::M3u8, path),
                 QByteArray("#EXTM3U\n"
                            "#EXTINF:215,Band \"The\" & Co - <Song>, part 1\n"
                            "/m/Caf\xC3\xA9/a,\"b\".mp3\n"
                            "#EXTINF:60,\xC3\x9Cn\xC3\xAF"
                            "code \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E - Line break  CRLF\n"
                            "/m/\xE6\x97\xA5\xE6\x9C\xAC/\xE6\x9B\xB2 #1?.mp3\n"
                            "#EXTINF:-1,ctl char\n"
                            "/m/ctl/x.mp3\n"
                            "#EXTINF:-1,Only Name\n"
                            "/m/empty/Only Name.mp3\n"));
    }

    // The title of #EXTINF stays on its line: every line end a player may
    // take (OneLine's) and every other control is a blank.
    void m3u8TitleOnOneLine_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("LS, PS") << QStringLiteral("a\u2028b\u2029c") << QByteArray("a b c");
        QTest::newRow("NEL") << QStringLiteral("a\u0085b") << QByteArray("a b");
        QTest::newRow("CR LF, VT, FF") << QStringLiteral("a\r\nb\vc\fd") << QByteArray("a  b c d");
        QTest::newRow("tab, ESC") << QStringLiteral("a\tb\u001bc") << QByteArray("a b c");
        QTest::newRow("U+2027 kept") << QStringLiteral("a\u2027b") << QByteArray("a\u2027b");
    }
    void m3u8TitleOnOneLine()
    {
        QFETCH(QString, title);
        QFETCH(QByteArray, shown);
        QByteArray out;
        EntryFormat::Writer writer(Format::M3u8, [&out](QByteArrayView block) {
            out += block;
            return true;
        });
        const QByteArray track = title.toUtf8();
        QVERIFY(writer.add({{"/a.mp3", "CD", "", track}, {}}) && writer.finish());
        QCOMPARE(out, "#EXTM3U\n#EXTINF:-1," + shown + "\n/a.mp3\n");
    }

    // A path that no line can hold goes as a URI; relative paths from the
    // playlist's folder.
    void m3u8Paths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("relative");
        QTest::addColumn<QByteArray>("line"); // the path's line, {dir} the playlist's folder
        QTest::newRow("line break") << QStringLiteral("/m/a\nb.mp3") << false << QByteArray("file:///m/a%0Ab.mp3");
        QTest::newRow("below") << QStringLiteral("{dir}/sub/a.mp3") << true << QByteArray("sub/a.mp3");
        QTest::newRow("beside") << QStringLiteral("{dir}-x/a.mp3") << true << QByteArray("../{name}-x/a.mp3");
        QTest::newRow("elsewhere") << QStringLiteral("/m/a.mp3") << true << QByteArray("{up}m/a.mp3");
        QTest::newRow("stored relative") << QStringLiteral("D:\\a.mp3") << true << QByteArray("D:\\a.mp3");
    }
    void m3u8Paths()
    {
        QFETCH(QString, path);
        QFETCH(bool, relative);
        QFETCH(QByteArray, line);
        const QString folder = dir.path();
        path.replace(QStringLiteral("{dir}"), folder);
        line.replace("{name}", QFileInfo(folder).fileName().toUtf8())
            .replace("{up}", QByteArrayLiteral("../").repeated(folder.count(QLatin1Char('/'))));
        const RowStore rows = rowsOf({entryOf({path})});
        const QString target = dir.filePath(QStringLiteral("paths.m3u8"));
        Interchange::Options options;
        options.relative = relative;
        QVERIFY(Interchange::save(target, Format::M3u8, streamOf(rows), options));
        QCOMPARE(fileBytes(target).split('\n').value(2), line);
    }

    // Every stored path comes back from its URI; only characters a URI's
    // path may hold are left unescaped.
    void fileUris()
    {
        QStringList paths{QStringLiteral("/a b/[x]{y}%z#q?r.mp3"), QStringLiteral("/m/\u00e9\u65e5/ 'a';b=c&d.mp3")};
        for (const HostileRows::Entry &entry : HostileRows::entries())
            paths << entry.fields.at(FieldFilename);
        for (const QString &path : paths) {
            std::string made;
            InterchangeFormat::appendFileUri(made, path.toUtf8());
            const QByteArray uri = QByteArray::fromStdString(made);
            QCOMPARE(QUrl::fromEncoded(uri, QUrl::StrictMode).toLocalFile(), path);
            // RFC 3986 leaves no room for "[" or "]" in a path, which QUrl keeps.
            for (const char c : uri.sliced(7))
                QVERIFY2(std::isalnum(uchar(c)) || QByteArrayView("-._~!$&'()*+,;=:@/%").contains(c), uri.constData());
        }
    }

    // Bytes no reader takes: replaced, the text around them kept.
    void escapes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("xml"); // \uFFFD: the replacement character in UTF-8
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("csv");
        QTest::newRow("not UTF-8") << QByteArray("a\xff\xc3(b") << QByteArray("a\uFFFD\uFFFD(b")
                                   << QByteArray("\"a\uFFFD\uFFFD(b\"") << QByteArray("a\uFFFD\uFFFD(b");
        QTest::newRow("not UTF-8, quoted") << QByteArray("\xe2\x82,") << QByteArray("\uFFFD\uFFFD,")
                                           << QByteArray("\"\uFFFD\uFFFD,\"") << QByteArray("\"\uFFFD\uFFFD,\"");
        QTest::newRow("U+FFFE, U+10000") << QByteArray("x\xef\xbf\xbey\xf0\x90\x80\x80")
                                         << QByteArray("x\uFFFDy\xf0\x90\x80\x80")
                                         << QByteArray("\"x\xef\xbf\xbey\xf0\x90\x80\x80\"")
                                         << QByteArray("x\xef\xbf\xbey\xf0\x90\x80\x80");
        QTest::newRow("controls") << QByteArray("\x01\t\r\n\x7f&'") << QByteArray("\uFFFD\t&#13;\n\x7f&amp;&apos;")
                                  << QByteArray("\"\\u0001\\t\\r\\n\x7f&'\"") << QByteArray("\"\x01\t\r\n\x7f&'\"");
    }
    void escapes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, xml);
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, csv);
        std::string xmlOut, jsonOut, csvOut;
        InterchangeFormat::appendXmlText(xmlOut, text);
        InterchangeFormat::appendJsonString(jsonOut, text);
        InterchangeFormat::appendCsvField(csvOut, text);
        QCOMPARE(QByteArray::fromStdString(xmlOut), xml);
        QCOMPARE(QByteArray::fromStdString(jsonOut), json);
        QCOMPARE(QByteArray::fromStdString(csvOut), csv);
    }

    // An entry whose facts and fields hold bytes that are not UTF-8, and a
    // playing time past any real one: every format stays UTF-8 (U+FFFD in
    // their place) and the playing time is not known.
    void hostileFactsStayUtf8_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<QByteArray>("duration"); // what the playing time is written as
        QTest::newRow("m3u8") << Format::M3u8 << QByteArray("#EXTINF:-1,");
        QTest::newRow("xspf") << Format::Xspf << QByteArray("</title>\n    </track>");
        QTest::newRow("csv") << Format::Csv << QByteArray(",,,,,\uFFFD,"); // size to kbps empty, then mode
        QTest::newRow("jsonl") << Format::Jsonl << QByteArray("\"coverimage\":\"\",\"enc\""); // no "dur" between
    }
    void hostileFactsStayUtf8()
    {
        QFETCH(Format, format);
        QFETCH(QByteArray, duration);
        RowStore rows;
        const std::array<QByteArrayView, TrackFieldCount> fields{"/m/a\xff.mp3", "CD\xc3", "", "T\xe2\x82"};
        rows.appendUtf8(fields, EntryOrigin::Own, "ondro:1 dur=999999999999999999 mode=\xfe enc=%FFx");
        const QString path = dir.filePath(QStringLiteral("bytes"));
        QVERIFY(Interchange::save(path, format, streamOf(rows)));
        const QByteArray bytes = fileBytes(path);
        QVERIFY2(QByteArrayView(bytes).isValidUtf8(), bytes.constData());
        QVERIFY2(bytes.contains("T\uFFFD") && bytes.contains(duration), bytes.constData());
        if (format == Format::Jsonl) {
            const QJsonObject object = QJsonDocument::fromJson(bytes).object();
            QCOMPARE(object.value(QStringLiteral("enc")).toString(), QStringLiteral("\uFFFDx"));
            QCOMPARE(object.value(QStringLiteral("source")).toString(), QStringLiteral("CD\uFFFD"));
        }
    }

    // The facts read in one pass, as the extension line's own readers read
    // each of them.
    void factsInOnePass_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("scan") << HostileRows::entries().first().extension;
        QTest::newRow("later version") << QByteArray("ondro:2 size=1 dur=2");
        QTest::newRow("no version") << QByteArray("ondro:1x size=1");
        QTest::newRow("repeated, bare, odd") << QByteArray("ondro:1 dur size=1 size=2 kbps= rate=4x dur=1.25 mtime=-3");
        QTest::newRow("empty") << QByteArray();
    }
    void factsInOnePass()
    {
        QFETCH(QByteArray, line);
        const InterchangeFormat::FactValues values = InterchangeFormat::factValues(line);
        for (size_t k = 0; k < InterchangeFormat::FactKeys.size(); ++k) {
            const char *key = InterchangeFormat::FactKeys[k];
            QCOMPARE(values[k], ExtensionLine::rawValue(line, key));
            QCOMPARE(InterchangeFormat::wholeNumber(values[k]), ExtensionLine::integerValue(line, key));
            QCOMPARE(InterchangeFormat::tenths(values[k]), ExtensionLine::tenthsValue(line, key));
        }
    }

    // A stop leaves no file; so does a failing device, with its reason.
    void stopped()
    {
        const QString target = dir.filePath(QStringLiteral("stopped.csv"));
        const RowStore rows = HostileRows::rows();
        WorkProgress progress;
        progress.onStep = [&](qint64 i, qint64) {
            if (i == 2)
                progress.requestStop();
        };
        const SaveResult saved = Interchange::save(target, Format::Csv, streamOf(rows, {2, 0}, &progress));
        QVERIFY(!saved);
        QCOMPARE(saved.error, QStringLiteral("writing was stopped"));
        QVERIFY(!QFileInfo::exists(target));
    }
};

ONDRO_TEST_MAIN(InterchangeTest)
#include "test_interchange.moc"
