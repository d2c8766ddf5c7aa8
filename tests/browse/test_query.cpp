#include "browse/querymatcher.h"
#include "browse/queryparser.h"
#include "foldpieces.h"
#include "base/textfold.h"
#include "testenv.h"
#include "trackrows.h"
#include "yearfields.h"

#include <QTest>

namespace {

// A fixed catalogue: own and library entries, two media (one offline),
// accents, empty fields, and copies of the same audio and song. Modified
// 10 days before Now, on 2024-03-05 12:00, the last second of 2019 and
// the first of 2020 (UTC).
RowStore catalogue()
{
    const QList<QPair<QStringList, QByteArray>> rows = {
        {{"/cd/Night Drive/01 Intro.mp3", "CD01", "The Band", "Intro", "Night Drive", "1991", "Rock", "/c/front.jpg"},
         "ondro:1 size=4000000 mtime=1717545600 dur=215.3 kbps=128 mode=cbr rate=44100 enc=LAME3.100 aid=aa trk=1 disc=1"},
        {{"/cd/Night Drive/02 Café.mp3", "CD01", "The Band", "Café Noir", "Night Drive", "1991", "Jazz"},
         "ondro:1 size=9000000 mtime=1709640000 dur=301.0 kbps=239 mode=vbr rate=48000 aid=bb est=1 trk=2 disc=1 art=folder vfy=damaged"},
        {{"/hd/Motörhead/Ace.mp3", "HD01", "Motörhead", "Ace of Spades", "Ace", "1980", "Metal"},
         "ondro:1 size=3000000 mtime=1577836799 dur=169.0 kbps=128 mode=cbr rate=44100 aid=cc dmg=short trk=10 art=embedded"},
        {{"/hd/copy/Ace.mp3", "HD01", "MOTORHEAD", "ace of spades", "", "1980-10", "Metal"},
         "ondro:1 size=3000000 mtime=1577836800 dur=170.5 kbps=128 mode=cbr rate=44100 aid=cc est=1 dmg=long trk=x"},
        {{"/hd/untagged.mp3", "HD01"}, ""},
        {{"/cd/copy/Intro.mp3", "CD02", "The Band", "Intro", "Night Drive", "1999", "Rock"},
         "ondro:1 size=4000000 dur=215.3 kbps=128 mode=cbr rate=44100 aid=aa trk=3 disc=2"},
    };
    RowStore store;
    for (const auto &[fields, facts] : rows)
        store.append(entryOf(fields).record, EntryOrigin::Own, facts);
    store.append(entryOf({"/lib/Blue.mp3", "LIB1", "Trane", "Blue Train", "Blue", "1957", "Jazz"}).record,
                 EntryOrigin::Library);
    return store;
}

constexpr qint64 Now = 1718409600; // 2024-06-15 00:00 UTC

// The rows text matches, or the parser's or the matcher's error.
QString matching(const QString &text, const RowStore &rows = catalogue())
{
    const Query::Parsed parsed = Query::parse(text);
    if (!parsed.ok())
        return parsed.error;
    const std::vector<quint8> flags = Query::duplicateFlags(rows);
    Query::Context context;
    context.now = Now;
    context.media = {{QStringLiteral("CD01"), QStringLiteral("NIGHT_DRIVE"), QStringLiteral("Shelf B"), true,
                      Now - 14 * 86400, Now - 2 * 86400},
                     {QStringLiteral("CD02"), QString(), QString(), false, std::nullopt, Now - 2 * 366 * 86400},
                     {QStringLiteral("HD01"), QStringLiteral("Backup"), QString(), true, 1588291200}};
    context.duplicates = &flags;
    const Query::Matcher matcher(parsed.root.get(), context);
    QStringList shown;
    for (const qint32 row : matcher.filter(rows))
        shown << QString::number(row);
    return matcher.error().isEmpty() ? shown.join(u' ') : matcher.error();
}

} // namespace

class QueryTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rows_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("rows");
        const QList<QPair<const char *, const char *>> table = {
            {"", "0 1 2 3 4 5 6"},
            {"night", "0 1 5"},                        // album and path, any case
            {"NIGHT intro", "0 5"},                    // words ANDed
            {"cafe", "1"},                             // accents aside
            {"motorhead", "2 3"},
            {"\"ace of\"", "2 3"},                     // a quoted phrase
            {"dintro", ""},                            // never across two fields
            {"artist:band", "0 1 5"},
            {"artist:=\"the band\"", "0 1 5"},
            {"artist:=band", ""},
            {"title:/^ace/", "2 3"},
            {"path:/(.+)+x$/", "the regular expression /(.+)+x$/ is too costly (at row 1); simplify it"},
            {"file:intro", "0 5"},
            {"path:copy", "3 5"},
            {"source:hd", "2 3 4"},
            {"album:=\"\"", "3 4"},                    // the album is empty
            {"cover:front", "0"},
            {"year:1990..1999", "0 1 5"},
            {"year:1980", "2 3"},                      // contains "1980"
            {"year:1980..1980", "2 3"},                // "1980-10" by its leading digits
            {"year:<1980", "6"},
            {"dur:>=215.3", "0 1 5"},
            {"dur:>215.3", "1"},
            {"dur:215", "0 5"},                        // 215.0 to 215.9
            {"dur:169..170.5", "2 3"},
            {"kbps:128", "0 2 3 5"},
            {"kbps:<128", ""},
            {"rate:48000", "1"},
            {"size:>=4M", "1"},
            {"size:4000000..9000000", "0 1 5"},
            {"mode:vbr", "1"},
            {"enc:lame", "0"},
            {"trk:1..3", "0 1 5"},                     // in album order; trk=x is no number
            {"trk:>=10", "2"},
            {"trk:=2", "1"},
            {"disc:1", "0 1"},
            {"has:damage", "2 3"},
            {"is:estimated", "1 3"},
            {"-has:damage is:estimated", "1"},
            {"label:night", "0 1"},
            {"note:shelf", "0 1"},
            {"has:cover", "0"},                        // attached by hand only
            {"has:art", "0 1 2"},                      // or found by the scan in the file or its folder
            {"has:art -has:cover", "1 2"},
            {"-has:tag", "4"},
            {"is:library", "6"},
            {"is:online", "0 1 2 3 4"},
            {"is:offline", "5"},
            {"dup:audio", "0 2 3 5"},
            {"dup:song", "0 2 3 5"},
            {"single artist:band", "1"},              // 0 and 5 are on two media
            {"rock OR metal", "0 2 3 5"},
            {"band -intro", "1"},
            {"NOT (rock OR metal) has:tag", "1 6"},
            {"(source:cd01 OR source:cd02) kbps:128", "0 5"},
            // Operators as users type them; a lone or trailing one is a word.
            {"artist:band AND year:1991", "0 1"},
            {"rock or metal", "0 2 3 5"},
            {"not rock has:tag", "1 2 3 6"},
            {"metal and", ""},
            {"\"and\" metal", ""},
            {"or", "2 3"},                             // in "motorhead"
            {"track:intro", "0 5"},                   // the title, as the list's header names it
            // Durations as a clock reads them.
            {"dur:<4:30", "0 2 3 5"},
            {"dur:3:35", "0 5"},
            {"dur:2:49..2:50.5", "2 3"},
            {"dur:>0:04:59", "1"},
            // Dates span their year, month or day; ages count back from Now.
            {"mtime:2024", "0 1"},
            {"mtime:2024-03", "1"},
            {"mtime:2024-03-05", "1"},
            {"mtime:2024-03..2024-06", "0 1"},
            {"mtime:<2020", "2"},
            {"mtime:<=2019-12-31", "2"},
            {"mtime:>=2020", "0 1 3"},
            {"mtime:>2019", "0 1 3"},
            {"mtime:<240h", ""},                       // exactly 10 days old is not newer
            {"mtime:<=240h", "0"},
            {"mtime:30d", "0"},
            {"mtime:>1y", "2 3"},
            {"mtime:7d..120d", "0 1"},
            {"mtime:..2019", "2"},
            {"scanned:<3w", "0 1"},                    // CD01's scan; CD02's is not known
            {"scanned:2020-05", "2 3 4"},
            {"-scanned:2024", "2 3 4 5 6"},
            // HD01 was never verified: older than any age; LIB1 is no medium.
            {"is:unverified", "2 3 4"},
            {"verified:<1y", "0 1"},
            {"verified:>1y", "2 3 4 5"},
            {"has:problem", "1"},
            // A pattern finds the fold of the text too.
            {"title:/cafe/", "1"},
            {"artist:/^motorhead$/", "2 3"},
            {"title:/é/", "1"},
        };
        for (const auto &[query, rows] : table)
            QTest::newRow(query) << QString::fromUtf8(query) << QString::fromUtf8(rows);
        // A NUL is part of its word; the parser once stood still on it.
        QTest::newRow("NUL in a word") << QString::fromUtf8("intro\0x OR blue", 15) << QStringLiteral("6");
    }
    void rows()
    {
        QFETCH(QString, query);
        QFETCH(QString, rows);
        QCOMPARE(matching(query), rows);
    }

    // A year compares as the number the statistics' decades count it by.
    void yearNumbers_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::newRow("below 200") << "year:<200" << 0 << 199;
        QTest::newRow("nineties") << "year:1990..1999" << 1990 << 1999;
        QTest::newRow("any year") << "year:>=0" << 0 << 9999;
    }
    void yearNumbers()
    {
        QFETCH(QString, query);
        QFETCH(int, low);
        QFETCH(int, high);
        RowStore store;
        QStringList expected;
        for (const YearField &y : YearFields) {
            if (y.year && y.year >= low && y.year <= high)
                expected << QString::number(store.size());
            store.append(entryOf({"/a.mp3", "CD1", "A", "T", "B", QString::fromUtf8(y.text)}).record, EntryOrigin::Own);
        }
        QCOMPARE(matching(query, store), expected.join(u' '));
    }

    // A bare word over rows of random text finds the rows where the fold of
    // one field, path to genre, holds it: never a place across two fields.
    void wordsAgreeWithTheFoldOfEachField()
    {
        QRandomGenerator random(5);
        RowStore rows;
        for (int i = 0; i < 3000; ++i) {
            std::array<QByteArray, TrackFieldCount> fields;
            std::array<QByteArrayView, TrackFieldCount> views;
            for (int f = 0; f < TrackFieldCount; ++f)
                views[size_t(f)] = fields[size_t(f)] = FoldPieces::text(random, 8);
            rows.appendUtf8(views, EntryOrigin::Own);
        }
        for (const QByteArrayView needle : FoldPieces::Needles) {
            const Query::Parsed parsed = Query::parse(u'"' + QString::fromUtf8(needle) + u'"');
            QVERIFY2(parsed.ok(), qPrintable(parsed.error));
            std::vector<qint32> expected;
            for (qint32 row = 0; row < rows.size(); ++row) {
                for (int f = FieldFilename; f <= FieldGenre; ++f) {
                    if (TextFold::folded(rows.fieldUtf8(row, f)).contains(needle)) {
                        expected.push_back(row);
                        break;
                    }
                }
            }
            QVERIFY(!expected.empty());
            QCOMPARE(Query::Matcher(parsed.root.get(), {}).filter(rows), expected);
        }
    }

    // A pattern that needs more than its budget on a row ends the query,
    // naming the row (from 1); one that costs little still matches.
    void regexBudget_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("rows");
        const auto costly = [](const char *pattern, int row) {
            return QStringLiteral("the regular expression /%1/ is too costly (at row %2); simplify it")
                .arg(QLatin1String(pattern))
                .arg(row);
        };
        QTest::newRow("a{25}") << "title:/a{25}/" << "1";
        QTest::newRow("(a{5}){5}") << "title:/(a{5}){5}/" << "1";
        QTest::newRow("(.*a){25}") << "title:/(.*a){25}/" << costly("(.*a){25}", 2);
        QTest::newRow("(a|aa)+$") << "title:/^(a|aa)+$/" << costly("^(a|aa)+$", 3);
        QTest::newRow("nested, in OR") << "intro OR title:/(x+x+)+y/" << costly("(x+x+)+y", 4);
        QTest::newRow("words then !") << "title:/^(\\w+\\s?)*$/" << costly("^(\\w+\\s?)*$", 5);
        QTest::newRow("ordinary") << "title:/^(a+|x+)$/ -title:/y/" << "1 3";
    }
    void regexBudget()
    {
        QFETCH(QString, query);
        QFETCH(QString, rows);
        RowStore store;
        for (const QByteArray &title : {QByteArray("Intro"), QByteArray(30, 'a'), QByteArray(24, 'a') + 'b',
                                        QByteArray(40, 'x'), QByteArray("many words here and there again and more so!")})
            store.append(entryOf({"/m.mp3", "CD", "", QString::fromUtf8(title)}).record, EntryOrigin::Own);
        QCOMPARE(matching(query, store), rows);
    }

    void errors_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown field") << "artst:band" << "Unknown field \"artst\" at 1";
        QTest::newRow("unknown flag") << "rock is:lost" << "Unknown flag \"is:lost\" at 6";
        QTest::newRow("not a number") << "kbps:fast" << "Expected a number at 6";
        QTest::newRow("a unit dur lacks") << "dur:>1m" << "Expected a number at 6";
        QTest::newRow("year as text") << "year:abc" << "Expected a number at 6";
        QTest::newRow("year equal to text") << "year:=abc" << "Expected a number at 7";
        QTest::newRow("pattern on a number") << "kbps:/12/" << "Expected a number at 6";
        QTest::newRow("75 seconds") << "dur:4:75" << "Expected a number at 5";
        QTest::newRow("no date") << "mtime:abc" << "Expected a date or an age at 7";
        QTest::newRow("no month 13") << "scanned:<2024-13" << "Expected a date or an age at 10";
        QTest::newRow("AND first") << "AND a" << "Expected a term before AND at 1";
        QTest::newRow("AND last") << "a AND" << "Expected a term after AND at 3";
        QTest::newRow("a text compared") << "artist:<5" << "Expected a number field for \"<\" at 8";
        QTest::newRow("open range, no numbers") << "dur:.." << "Expected a number at 5";
        QTest::newRow("missing parenthesis") << "a (b OR c" << "Missing \")\" for the \"(\" at 3";
        QTest::newRow("stray parenthesis") << "a )" << "Unexpected \")\" at 3";
        QTest::newRow("dangling OR") << "a OR" << "Expected a term after OR at 3";
        QTest::newRow("open quote") << "\"night" << "Missing closing quote at 1";
        QTest::newRow("open regex") << "title:/ace" << "Missing closing \"/\" at 7";
        QTest::newRow("bad regex") << "title:/(ace/" << "Invalid regular expression at 12";
        QTest::newRow("too deep") << QString(100, u'(') + u'a' << "Too deeply nested at 65";
    }
    void errors()
    {
        QFETCH(QString, query);
        QFETCH(QString, error);
        QCOMPARE(Query::parse(query).error, error);
    }
};

ONDRO_TEST_MAIN(QueryTest)
#include "test_query.moc"
