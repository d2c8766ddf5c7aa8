#include "browse/statistics.h"
#include "catalogue/extensionline.h"
#include "testenv.h"
#include "yearfields.h"

#include <QTest>

#include <limits>
#include <map>

namespace {

struct Entry
{
    const char *source, *year, *genre, *extension;
};

// Odd years, entries without facts or with some of them, an escaped
// encoder, and a genre named like the unknown.
const QList<Entry> Entries{
    {"CD1", "1999", "Rock", "ondro:1 size=1000 dur=200.5 kbps=128 mode=cbr enc=LAME3.100"},
    {"CD1", "1994-05-01", "Rock", "ondro:1 size=3000 dur=100.0 kbps=192 mode=vbr enc=LAME%203.99"},
    {"CD2", "2001", "", "ondro:2 size=5 dur=1.0"}, // a later version's line: no facts read
    {"CD2", " 0000", "Pop", "ondro:1 dur=10.0 kbps=128 mode=cbr"},
    {"CD2", "99", "Pop", "ondro:1 size=500 size2=7 kbps=128 mode=cbr"},
    {"", "abcd", "(unknown)", "A comment, not facts size=9"},
};

Statistics::Report reportOf(const QList<Entry> &entries)
{
    Statistics::Tally tally;
    for (const Entry &e : entries)
        tally.add({"/a.mp3", e.source, "Artist", "Title", "Album", e.year, e.genre, "", ""}, e.extension);
    return tally.report();
}

// "key entries bytes tenths|..."
QString linesText(const std::vector<Statistics::Line> &lines)
{
    QStringList out;
    for (const Statistics::Line &l : lines)
        out << QStringLiteral("%1 %2 %3 %4").arg(l.key).arg(l.entries).arg(l.bytes).arg(l.tenths);
    return out.join(u'|');
}

} // namespace

class StatisticsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void summary()
    {
        const Statistics::Report report = reportOf(Entries);
        QCOMPARE(report.entries, 6);
        QCOMPARE(report.bytes, 4500);
        QCOMPARE(report.withoutSize, 3);
        QCOMPARE(report.tenths, 3105);
        QCOMPARE(report.withoutDuration, 3);
        QCOMPARE(reportOf({}).entries, 0);
        for (const Statistics::Breakdown b : Statistics::Breakdowns)
            QVERIFY(reportOf({}).lines(b).empty());
    }

    void breakdowns_data()
    {
        QTest::addColumn<Statistics::Breakdown>("breakdown");
        QTest::addColumn<QString>("lines");
        using B = Statistics::Breakdown;
        QTest::newRow("medium") << B::Medium << "CD2 3 500 100|CD1 2 4000 3005|(unknown) 1 0 0";
        QTest::newRow("genre") << B::Genre << "(unknown) 2 0 0|Pop 2 500 100|Rock 2 4000 3005";
        QTest::newRow("decade") << B::Decade << "(unknown) 3 500 100|1990s 2 4000 3005|2000s 1 0 0";
        QTest::newRow("bitrate") << B::Bitrate << "128 3 1500 2105|(unknown) 2 0 0|192 1 3000 1000";
        QTest::newRow("mode") << B::Mode << "cbr 3 1500 2105|(unknown) 2 0 0|vbr 1 3000 1000";
        QTest::newRow("encoder") << B::Encoder << "(unknown) 4 500 100|LAME 3.99 1 3000 1000|LAME3.100 1 1000 2005";
    }
    void breakdowns()
    {
        QFETCH(Statistics::Breakdown, breakdown);
        QFETCH(QString, lines);
        QCOMPARE(linesText(reportOf(Entries).lines(breakdown)), lines);
        QVERIFY(Statistics::breakdownNamed(Statistics::name(breakdown)) == breakdown);
    }

    // A decade holds the years the query language compares as numbers.
    void decadesOfYearNumbers()
    {
        QList<Entry> entries;
        std::map<QString, int> expected; // decade: entries
        for (const YearField &y : YearFields) {
            entries.append({"CD1", y.text, "Rock", "ondro:1 size=1"});
            ++expected[y.year ? QStringLiteral("%1s").arg(y.year / 10 * 10, 4, 10, QLatin1Char('0')) : Statistics::unknownKey()];
        }
        std::map<QString, int> decades;
        const Statistics::Report report = reportOf(entries);
        for (const Statistics::Line &line : report.lines(Statistics::Breakdown::Decade))
            decades[line.key] = int(line.entries);
        const auto text = [](const std::map<QString, int> &counts) {
            QStringList out;
            for (const auto &[key, entries] : counts)
                out << QStringLiteral("%1 %2").arg(key).arg(entries);
            return out.join(u'|');
        };
        QCOMPARE(text(decades), text(expected));
    }

    // Sizes and times at their limits, many times over: the totals stop at
    // the largest number, never wrap to a negative one.
    void totalsDoNotWrap()
    {
        const QByteArray line = "ondro:1 size=" + QByteArray::number(ExtensionLine::MaxWhole) + " dur="
                                + QByteArray::number(ExtensionLine::MaxSeconds) + " kbps=128";
        const QList<Entry> entries(10'000, Entry{"CD1", "1999", "Rock", line.constData()});
        const Statistics::Report report = reportOf(entries);
        constexpr qint64 Most = std::numeric_limits<qint64>::max();
        QCOMPARE(report.bytes, Most);
        QCOMPARE(report.tenths, ExtensionLine::MaxSeconds * 10 * 10'000); // well inside
        QCOMPARE(reportOf({Entry{"CD1", "1999", "Rock", "ondro:1 dur=999999999999999999"}}).withoutDuration, 1);
        for (const Statistics::Breakdown b : Statistics::Breakdowns)
            QCOMPARE(report.lines(b).front().bytes, Most);
    }

    void tabSeparated()
    {
        Statistics::Report report{2, 4096, 1, 1234, 0, {}};
        report.breakdowns[size_t(Statistics::Breakdown::Genre)] = {{QStringLiteral("Tab\there %1"), 2, 4096, 1234}};
        const QString text = Statistics::tabSeparated(report);
        QVERIFY2(text.startsWith(QStringLiteral("Entries\t2\nTotal size (bytes)\t4096\nEntries without a size\t1\n"
                                                "Total playing time (s)\t123.4\nEntries without a playing time\t0\n"
                                                "\nMedium\tEntries\tSize (bytes)\tPlaying time (s)\n"
                                                "\nGenre\tEntries\tSize (bytes)\tPlaying time (s)\n"
                                                "Tab here %1\t2\t4096\t123.4\n\nDecade\t")),
                 qPrintable(text));
        QVERIFY(text.endsWith(QStringLiteral("\nEncoder\tEntries\tSize (bytes)\tPlaying time (s)\n")));
        QVERIFY(!Statistics::breakdownNamed(QStringLiteral("artist")));
    }

    void keyOrder_data()
    {
        QTest::addColumn<int>("breakdown");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("sorted");
        const QString unknown = Statistics::unknownKey();
        QTest::newRow("decades by number, unknown last")
            << int(Statistics::Breakdown::Decade) << QStringList{"1990s", unknown, "0990s", "1970s"}
            << QStringList{"0990s", "1970s", "1990s", unknown};
        QTest::newRow("bitrates by number") << int(Statistics::Breakdown::Bitrate)
                                            << QStringList{"320", unknown, "96", "128", "1000"}
                                            << QStringList{"96", "128", "320", "1000", unknown};
        QTest::newRow("text collated, case and accents aside")
            << int(Statistics::Breakdown::Genre) << QStringList{"rock", unknown, "\u00c9lectro", "Ambient", "blues"}
            << QStringList{"Ambient", "blues", "\u00c9lectro", "rock", unknown};
        QTest::newRow("numbers among text keys sort as text")
            << int(Statistics::Breakdown::Medium) << QStringList{"CD10", "CD9", "CD02"}
            << QStringList{"CD02", "CD10", "CD9"};
    }
    void keyOrder()
    {
        QFETCH(int, breakdown);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, sorted);
        std::vector<Statistics::Line> lines;
        for (const QString &key : keys)
            lines.push_back({key, 1, 0, 0});
        QStringList got;
        for (const size_t i : Statistics::keyOrder(Statistics::Breakdown(breakdown), lines))
            got << lines[i].key;
        QCOMPARE(got, sorted);
    }
};

ONDRO_TEST_MAIN(StatisticsTest)
#include "test_statistics.moc"
