#include "browse/findstate.h"
#include "browse/matchrule.h"
#include "browse/querysearch.h"
#include "catalogrows.h"
#include "testenv.h"

#include <QRandomGenerator>

class MatchRuleTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rule_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("match");
        const QString song = QStringLiteral("/media/cd/MP3/MY_SONG.MP3");
        QTest::newRow("lower case, blank for underscore") << song << "my song" << true;
        QTest::newRow("mixed case") << song << "My Song" << true;
        QTest::newRow("underscore in the text never matches") << song << "my_song" << false;
        QTest::newRow("empty text, a path") << song << "" << true;
        QTest::newRow("empty text, no path") << "" << "" << false;
        QTest::newRow("text longer than the path") << "/a.mp3" << "/a.mp3x" << false;
        QTest::newRow("at the very end") << "/x/abcdefghijklmnopqrstuvwxyz.mp3" << "Z.MP3" << true;
        QTest::newRow("past a 16-byte block") << "/media/cdrom/folder/deeper/song.mp3" << "deeper/so" << true;
        QTest::newRow("blank matches blank") << "/a b.mp3" << "A B" << true;
        QTest::newRow("near miss") << "/media/cdrom/song.mp3" << "song.mp4" << false;
        QTest::newRow("accented path") << "/m/caf\u00e9_noir.mp3" << "CAF\u00c9 NOIR" << true;
        QTest::newRow("accented text, ASCII path") << "/m/cafe.mp3" << "caf\u00e9" << false;
        QTest::newRow("non-ASCII path, ASCII text") << "/m/\u00e9t\u00e9/song.mp3" << "SONG" << true;
        QTest::newRow("dotless i upper-cases to I") << "/m/\u0131ntro.mp3" << "INTRO" << true;
        QTest::newRow("sharp s upper-cases to SS") << "/m/stra\u00dfe.mp3" << "STRASSE" << true;
    }
    void rule()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QFETCH(bool, match);
        QCOMPARE(MatchRule::matches(path, text), match);
        QCOMPARE(MatchRule::Matcher(text).matchesUtf8(path.toUtf8()), match);
    }

    // The in-place comparison must agree with the plain rule on any input.
    void fastPathAgreesWithRule()
    {
        const QString alphabet = QStringLiteral("aA_ b/.\u00e9Z\u0131\u00dfS");
        QRandomGenerator random(7);
        const auto make = [&](int length) {
            QString s;
            for (int i = 0; i < length; ++i)
                s += alphabet.at(random.bounded(int(alphabet.size())));
            return s;
        };
        // Found by fuzzing: the byte after an ASCII hit may start a longer character.
        QVERIFY(!MatchRule::Matcher(QStringLiteral("r@")).matchesUtf8(QByteArrayView("/r\xd7\x9f")));
        for (int round = 0; round < 20000; ++round) {
            const QString path = make(random.bounded(40));
            const QString text = make(random.bounded(4));
            QVERIFY2(MatchRule::Matcher(text).matchesUtf8(path.toUtf8()) == MatchRule::matches(path, text),
                     qPrintable(path + QStringLiteral(" / ") + text));
        }
    }

    void onlyThePathIsSearched()
    {
        const RowStore rows = CatalogRows::fromPaths({QStringLiteral("/m/a.mp3")}, {QStringLiteral("CD02")});
        QVERIFY(MatchRule::matchingRows(rows, QStringLiteral("cd02")).empty());
        QVERIFY(MatchRule::matchingRows(rows, QStringLiteral("Artist")).empty());
    }

    // A sequence of Find (text) and Find Again ("") presses over 10 rows,
    // each with the row found (1-based, 0 for "Search Complete.", -1 for
    // nothing done) and the next start position after it.
    void findSequence_data()
    {
        QTest::addColumn<QList<int>>("hits");
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("presses");
        QTest::addColumn<QList<int>>("found");
        QTest::addColumn<QList<int>>("next");
        const QStringList againX3 = {"find:hit", "again", "again", "again"};
        QTest::newRow("hits at 3 and 7") << QList<int>{3, 7} << 10 << againX3 << QList<int>{3, 7, 0, 3}
                                         << QList<int>{4, 8, 1, 4};
        QTest::newRow("hit at the last position") << QList<int>{10} << 10 << QStringList{"find:hit", "again"}
                                                  << QList<int>{10, 0} << QList<int>{11, 1};
        QTest::newRow("no hit") << QList<int>{} << 10 << QStringList{"find:hit"} << QList<int>{0} << QList<int>{1};
        QTest::newRow("empty list") << QList<int>{} << 0 << QStringList{"find:hit"} << QList<int>{0}
                                    << QList<int>{1};
        QTest::newRow("cancelled find keeps the position, again steps by one")
            << QList<int>{3} << 10 << QStringList{"find:hit", "find:", "again", "again"} << QList<int>{3, -1, 4, 5}
            << QList<int>{4, 4, 5, 6};
        QTest::newRow("underscore text") << QList<int>{3} << 10 << QStringList{"find:hit_"} << QList<int>{0}
                                         << QList<int>{1};
    }
    void findSequence()
    {
        QFETCH(QList<int>, hits);
        QFETCH(int, size);
        QFETCH(QStringList, presses);
        QFETCH(QList<int>, found);
        QFETCH(QList<int>, next);
        QStringList paths;
        for (int i = 1; i <= size; ++i)
            paths << (hits.contains(i) ? QStringLiteral("/m/HIT_%1.mp3").arg(i) : QStringLiteral("/m/%1.mp3").arg(i));
        const RowStore rows = CatalogRows::fromPaths(paths);
        FindState state;
        for (qsizetype step = 0; step < presses.size(); ++step) {
            const QString press = presses.at(step);
            const FindResult r = press.startsWith(QLatin1String("find:"))
                                     ? FindSearch::find(state, press.mid(5), rows)
                                     : FindSearch::findAgain(state, rows);
            const int got = r.kind == FindResult::Hit ? int(r.row) + 1 : r.kind == FindResult::Complete ? 0 : -1;
            QCOMPARE(got, found.at(step));
            QCOMPARE(state.nextStart, qsizetype(next.at(step)));
        }
    }

    void positionPastAShortenedList()
    {
        RowStore rows = CatalogRows::fromPaths({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
        FindState state{QStringLiteral("c.mp3"), 1};
        QCOMPARE(FindSearch::findAgain(state, rows).row, qsizetype(2));
        rows.removeRows(1, 2);
        QCOMPARE(FindSearch::findAgain(state, rows).kind, FindResult::Complete);
        QCOMPARE(state.nextStart, qsizetype(1));
    }

    void positionsPast16Bits()
    {
        const RowStore rows = CatalogRows::generated(40000);
        FindState state;
        const FindResult r = FindSearch::find(state, QStringLiteral("TITLE 39999."), rows);
        QCOMPARE(r.row, qsizetype(39999));
        QCOMPARE(state.nextStart, qsizetype(40001));
    }

    // The Query window keeps a plain text for the paths; only the query
    // language's own marks make it a query.
    void looksLikeQuery_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("query");
        const auto row = [](const char *text, bool query) { QTest::newRow(text) << QString::fromUtf8(text) << query; };
        for (const char *plain : {"my song", "C:\\music", "ac-dc", "rock and roll", "ORCHESTRA", "x-ray NOTE",
                                  "a@b.mp3", "1:23", "- live", ""})
            row(plain, false);
        for (const char *query : {"artist:okafor", "ArTiSt:x", "beat OR dub", "NOT live", "a AND b", "-live",
                                  "x (live)", "\"my song\"", "@lossy", "year:1990..1999", "dub OR"})
            row(query, true);
    }
    void looksLikeQuery()
    {
        QFETCH(QString, text);
        QFETCH(bool, query);
        QCOMPARE(QuerySearch::looksLikeQuery(text), query);
    }

    // A query is run as one; one that does not parse gives the parser's
    // message, never "no rows".
    void searchRuns()
    {
        RowStore rows = CatalogRows::fromPaths({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
        const auto run = [&](const char *text) { return QuerySearch::run(rows, QString::fromUtf8(text), {}); };
        QCOMPARE(run("b.mp3").rows, (std::vector<qsizetype>{1}));
        QCOMPARE(run("artist:\"artist 2\" OR artist:\"artist 0\"").rows, (std::vector<qsizetype>{0, 2}));
        const QuerySearch::Outcome bad = run("artst:beat");
        QVERIFY(bad.rows.empty());
        QVERIFY2(bad.error.startsWith(QStringLiteral("Unknown field \"artst\"")), qPrintable(bad.error));
        QCOMPARE(run("@none").error, QStringLiteral("There is no saved query named \"none\"."));
    }
};

ONDRO_TEST_MAIN(MatchRuleTest)
#include "test_matchrule.moc"
