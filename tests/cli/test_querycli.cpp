#include "cli/queryrun.h"
#include "clirun.h"
#include "catalogue/cataloguelistfile.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Three entries: one with every fact, one with a comma and quotes in its
// path and title, a dur that is no number and an encoder holding a line
// break, and one without facts.
bool writeCatalogue(const QString &data)
{
    RowStore rows;
    rows.append(entryOf({"/cd/Night Drive/01 Intro.mp3", "CD01", "The Band", "Intro", "Night Drive", "1991", "Rock"}).record,
                EntryOrigin::Own,
                "ondro:1 size=4000000 mtime=915148800 dur=215.3 kbps=128 mode=cbr rate=44100 enc=LAME3.100 aid=00aa trk=1 disc=2");
    rows.append(entryOf({"/cd/b, \"q\".mp3", "CD01", "Band, The", "Say \"Hi\", Now", "", "1995", "Jazz"}).record,
                EntryOrigin::Own, "ondro:1 dur=oops kbps=192 enc=LAME%0A3.100 est=1 dmg=long trk=7");
    rows.append(entryOf({"/hd/Other.mp3", "HD01", "Someone", "Else", "", "1980", "Pop"}).record, EntryOrigin::Own);
    return CatalogueListFile::save(data + QStringLiteral("/zembra.lst"), rows).ok;
}

} // namespace

class QueryCliTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QList<QByteArray> m_listed; // the lines list prints

    CliRun query(const QStringList &arguments) const
    {
        return runOndroCli(QStringLiteral(ONDRO_CLI_PATH),
                           QStringList{QStringLiteral("--data-dir"), m_dir.path(), QStringLiteral("query")} + arguments);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(writeCatalogue(m_dir.path()));
        const CliRun list = runOndroCli(QStringLiteral(ONDRO_CLI_PATH),
                                        {QStringLiteral("--data-dir"), m_dir.path(), QStringLiteral("list")});
        QCOMPARE(list.status, 0);
        m_listed = list.out.split('\n');
        QCOMPARE(m_listed.size(), 4);
    }

    // Matches print exactly the lines list prints for them.
    void statusAndLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("word") << QStringList{"band"} << 0 << QList<int>{0, 1} << QByteArray();
        QTest::newRow("range and number") << QStringList{"year:1990..1999 kbps:128"} << 0 << QList<int>{0} << QByteArray();
        QTest::newRow("leading minus") << QStringList{"--", "-band"} << 0 << QList<int>{2} << QByteArray();
        QTest::newRow("OR") << QStringList{"title:/^say/ OR source:hd"} << 0 << QList<int>{1, 2} << QByteArray();
        QTest::newRow("track, flags") << QStringList{"trk:1..3 OR (has:damage is:estimated)"} << 0 << QList<int>{0, 1}
                                      << QByteArray();
        QTest::newRow("no match") << QStringList{"nothing"} << 1 << QList<int>{} << QByteArray();
        QTest::newRow("parse error") << QStringList{"artst:band"} << 2 << QList<int>{}
                                     << QByteArray("ondro-cli: Unknown field \"artst\" at 1\n");
        QTest::newRow("too costly") << QStringList{"path:/(.+)+x$/"} << 3 << QList<int>{}
                                    << QByteArray("ondro-cli: the regular expression /(.+)+x$/ is too costly (at row 1); "
                                                  "simplify it\n");
        const QByteArray dashed = "ondro-cli: a query that starts with \"-\" needs \"--\" before it: ondro-cli query ";
        const QByteArray seeHelp = "ondro-cli: see \"ondro-cli --help\"\n";
        QTest::newRow("leading minus, no --") << QStringList{"-band"} << 2 << QList<int>{}
                                              << dashed + "-- '-band'\n" + seeHelp;
        QTest::newRow("leading minus, an option") << QStringList{"-band source:CD01", "--json"} << 2 << QList<int>{}
                                                  << dashed + "--json -- '-band source:CD01'\n" + seeHelp;
        // --sort: stable, so equals keep catalogue order, descending too.
        QTest::newRow("sort") << QStringList{"", "--sort", "artist"} << 0 << QList<int>{1, 2, 0} << QByteArray();
        QTest::newRow("sort, two keys") << QStringList{"", "--sort", "source,-year"} << 0 << QList<int>{1, 0, 2}
                                        << QByteArray();
        QTest::newRow("sort descending, equals") << QStringList{"", "--sort=-source"} << 0 << QList<int>{2, 0, 1}
                                                 << QByteArray();
        QTest::newRow("sort by track") << QStringList{"band", "--sort", "-track"} << 0 << QList<int>{1, 0}
                                       << QByteArray();
        QTest::newRow("sort, no match") << QStringList{"nothing", "--sort", "year"} << 1 << QList<int>{} << QByteArray();
        QTest::newRow("sort, unknown") << QStringList{"band", "--sort", "artist,dur"} << 2 << QList<int>{}
                                       << QByteArray("ondro-cli: query: cannot sort by \"dur\"; sort by path, source, "
                                                     "artist, title, album, year, genre or cover, a \"-\" before one "
                                                     "for descending\n");
        QTest::newRow("both formats") << QStringList{"band", "--json", "--csv"} << 2 << QList<int>{}
                                      << QByteArray("ondro-cli: query: --json and --csv cannot be given together\n");
    }
    void statusAndLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QList<int>, rows);
        QFETCH(QByteArray, error);
        const CliRun run = query(arguments);
        QCOMPARE(run.status, status);
        QByteArray expected;
        for (const int row : rows)
            expected += m_listed.at(row) + '\n';
        QCOMPARE(run.out, expected);
        QCOMPARE(run.err, error);
    }

    void jsonCarriesFacts()
    {
        const CliRun run = query({QStringLiteral("band"), QStringLiteral("--json")});
        QCOMPARE(run.status, 0);
        QJsonParseError error;
        const QJsonArray entries = QJsonDocument::fromJson(run.out, &error).array();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(entries.size(), 2);
        const QJsonObject full = entries.at(0).toObject();
        QCOMPARE(full.size(), 20); // nine fields, origin, ten facts
        QCOMPARE(full.value("artist"), QJsonValue("The Band"));
        QCOMPARE(full.value("origin"), QJsonValue("own"));
        QCOMPARE(full.value("dur"), QJsonValue(215.3));
        QCOMPARE(full.value("size"), QJsonValue(4000000));
        QCOMPARE(full.value("mtime"), QJsonValue(915148800));
        QCOMPARE(full.value("mode"), QJsonValue("cbr"));
        QCOMPARE(full.value("aid"), QJsonValue("00aa"));
        QCOMPARE(full.value("trk"), QJsonValue(1));
        QCOMPARE(full.value("disc"), QJsonValue(2));
        const QJsonObject partial = entries.at(1).toObject();
        QCOMPARE(partial.value("kbps"), QJsonValue(192));
        QCOMPARE(partial.value("enc"), QJsonValue("LAME\n3.100"));
        QVERIFY(!partial.contains("dur")); // not a number: not known
        QCOMPARE(partial.value("est"), QJsonValue(1));
        QCOMPARE(partial.value("dmg"), QJsonValue("long"));
        QCOMPARE(query({QStringLiteral("nothing"), QStringLiteral("--json")}).out, QByteArray("[]\n"));
    }

    void csvQuotes()
    {
        const QByteArray header = "filename,source,artist,track,album,year,genre,coverimage,audioheader,"
                                  "size,mtime,dur,kbps,mode,rate,enc,aid,est,dmg,trk,disc\r\n";
        const CliRun run = query({QStringLiteral("title:say"), QStringLiteral("--csv")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, header + "\"/cd/b, \"\"q\"\".mp3\",CD01,\"Band, The\",\"Say \"\"Hi\"\", Now\",,1995,Jazz,,,"
                                   ",,,192,,,\"LAME\n3.100\",,1,long,7,\r\n");
        const CliRun none = query({QStringLiteral("nothing"), QStringLiteral("--csv")});
        QCOMPARE(none.status, 1);
        QCOMPARE(none.out, header);
    }

    // A query whose bytes are not UTF-8 is refused by every command that
    // takes one, naming the byte, before anything is read or written.
    void queryNotUtf8_data()
    {
        QTest::addColumn<QString>("command"); // after ondro-cli --data-dir DIR; $q is the query "ab\\377c"
        QTest::newRow("query") << QStringLiteral("query \"x $q\"");
        QTest::newRow("stats") << QStringLiteral("stats -- \"x $q\"");
        QTest::newRow("export --query") << QStringLiteral("export csv --to \"$2\" --query \"x $q\"");
        QTest::newRow("export --query=") << QStringLiteral("export csv --to \"$2\" \"--query=x $q\"");
    }
    void queryNotUtf8()
    {
        QFETCH(QString, command);
        QTemporaryDir out;
        QProcess process;
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("q=$(printf 'ab\\377c'); exec \"$0\" --data-dir \"$1\" ") + command,
                       QStringLiteral(ONDRO_CLI_PATH), m_dir.path(), out.path()});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.readAllStandardError(), QByteArray("ondro-cli: the query is not valid UTF-8 at byte 5\n"));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty() && QDir(out.path()).isEmpty());
    }

    // A query about duplicates reads the list file twice; another program
    // replacing it between the passes (a writer put there in-process)
    // makes both passes run again, and every time makes the query give up:
    // never the flags of one version over the entries of another.
    void twoPassesReadOneVersion_data()
    {
        QTest::addColumn<bool>("saved"); // a catalogue before the first pass
        QTest::addColumn<int>("replacements");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("matched");
        QTest::newRow("unchanged") << true << 0 << 0 << "x1 x2";
        QTest::newRow("replaced once") << true << 1 << 0 << "y2 y3";
        QTest::newRow("replaced every time") << true << 99 << 3 << "";
        QTest::newRow("no catalogue") << false << 0 << 0 << "";
        QTest::newRow("none, then made") << false << 1 << 0 << "y2 y3";
    }
    void twoPassesReadOneVersion()
    {
        QFETCH(bool, saved);
        QFETCH(int, replacements);
        QFETCH(int, status);
        QFETCH(QString, matched);
        const auto version = [](const char *first, const QList<QByteArray> &aids) {
            RowStore rows;
            for (qsizetype i = 0; i < aids.size(); ++i)
                rows.append(entryOf({QStringLiteral("%1%2").arg(QLatin1String(first)).arg(i + 1), "CD"}).record,
                            EntryOrigin::Own, "ondro:1 size=4000000 dur=215.3 aid=" + aids.at(i));
            return rows;
        };
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("zembra.lst"));
        QVERIFY(!saved || CatalogueListFile::save(file, version("x", {"aa", "aa", "bb"})).ok);
        CliContext context;
        context.dataDir = dir.path();
        context.betweenPasses = [&, left = replacements]() mutable {
            if (left-- > 0)
                QVERIFY(CatalogueListFile::save(file, version("y", {"bb", "cc", "cc"})).ok);
        };
        QStringList names;
        const int got = QueryRun::forEachMatch(context, QStringLiteral("dup:audio"),
                                               [&](const EntryView &entry) {
                                                   names << QString::fromUtf8(entry.fields[FieldFilename]);
                                                   return true;
                                               });
        QCOMPARE(got, status);
        QCOMPARE(names.join(u' '), matched);
    }

    // Facts out of range or not UTF-8: every output stays UTF-8 (U+FFFD in
    // their place), and a number out of range is not known. A fact is read
    // one way by the query, the outputs, the exports and the statistics:
    // decoded ("%31%32" is 12), and no number is not known.
    void hostileFacts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("holds");
        QTest::addColumn<QByteArray>("lacks");
        QTest::newRow("csv") << QStringList{"query", "x", "--csv"} << QByteArray(",,,,128,\uFFFD,,\uFFFDx,,,,,\r\n")
                             << QByteArray("odd");
        QTest::newRow("json") << QStringList{"query", "x", "--json"} << QByteArray("\"mode\":\"\uFFFD\",")
                              << QByteArray("\"size\"");
        QTest::newRow("stats") << QStringList{"stats", "x", "--json"} << QByteArray("\"seconds\": 0,") << QByteArray();
        QTest::newRow("stats by mode") << QStringList{"stats", "--by", "mode"} << QByteArray("mode\t\uFFFD\t1\t0\t0.0\n")
                                       << QByteArray();
        const QByteArray oddCsv("/odd.mp3,CD,,,,,,,,100,,,12,,,,,,,,\r\n");
        QTest::newRow("query escaped") << QStringList{"query", "kbps:12"} << QByteArray("/odd.mp3\t") << QByteArray("/x.mp3");
        QTest::newRow("query --csv") << QStringList{"query", "kbps:12", "--csv"} << oddCsv << QByteArray();
        QTest::newRow("query --json") << QStringList{"query", "kbps:12", "--json"} << QByteArray("\"kbps\":12,")
                                      << QByteArray("\"dur\"");
        QTest::newRow("export csv") << QStringList{"export", "csv"} << oddCsv << QByteArray();
        QTest::newRow("export jsonl") << QStringList{"export", "jsonl"} << QByteArray("\"kbps\":12,")
                                      << QByteArray("\"dur\"");
        QTest::newRow("stats by kbps") << QStringList{"stats", "--by", "kbps"} << QByteArray("kbps\t12\t1\t100\t0.0\n")
                                       << QByteArray();
    }
    void hostileFacts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, holds);
        QFETCH(QByteArray, lacks);
        QTemporaryDir dir;
        RowStore rows;
        rows.append(entryOf({"/x.mp3", "CD"}).record, EntryOrigin::Own,
                    "ondro:1 size=99999999999999999999 dur=999999999999999999 kbps=128 mode=\xfe enc=%FFx");
        rows.append(entryOf({"/odd.mp3", "CD"}).record, EntryOrigin::Own, "ondro:1 size=100 dur=abc kbps=%31%32 future=7");
        QVERIFY(CatalogueListFile::save(dir.filePath(QStringLiteral("zembra.lst")), rows).ok);
        const bool exported = arguments.first() == u"export";
        if (exported)
            arguments << QStringLiteral("--to") << dir.path();
        CliRun run = runOndroCli(QStringLiteral(ONDRO_CLI_PATH), QStringList{"--data-dir", dir.path()} + arguments);
        QCOMPARE(run.status, 0);
        if (exported)
            run.out = fileBytes(dir.filePath(QStringLiteral("ondro.") + arguments.at(1)));
        QVERIFY2(QByteArrayView(run.out).isValidUtf8() && run.out.contains(holds), run.out.constData());
        QVERIFY2(lacks.isEmpty() || !run.out.contains(lacks), run.out.constData());
        if (arguments.contains("--json")) {
            QJsonParseError error;
            QJsonDocument::fromJson(run.out, &error);
            QCOMPARE(error.error, QJsonParseError::NoError);
        }
    }
};

ONDRO_TEST_MAIN(QueryCliTest)
#include "test_querycli.moc"
