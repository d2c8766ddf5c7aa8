// Statistics benchmark: a catalogue of 1,000,000 entries with the
// extension lines a scan writes, fed row by row to Statistics::Tally, then
// its report made. The goal is the whole under half a second. Prints plain
// lines.
//
// "stats_bench ROWS" times ROWS entries instead, for a profiler.
#include "browse/statistics.h"
#include "catalogrows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr qsizetype Entries = 1000000;
constexpr double GoalSeconds = 0.5;

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

struct Round
{
    double add = 0, report = 0;
    Statistics::Report result;
    double total() const { return add + report; }
};

Round timeRound(const RowStore &rows)
{
    Round round;
    QElapsedTimer timer;
    timer.start();
    Statistics::Tally tally;
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        for (int f = 0; f < TrackFieldCount; ++f)
            fields[size_t(f)] = rows.fieldUtf8(i, f);
        tally.add(fields, rows.extensionUtf8(i));
    }
    round.add = seconds(timer);
    timer.restart();
    round.result = tally.report();
    round.report = seconds(timer);
    return round;
}

// The floor beneath the tally: the same rows' fields and extension lines
// read, their bytes summed, nothing counted.
double timeReading(const RowStore &rows, quint64 &sum)
{
    QElapsedTimer timer;
    timer.start();
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        for (int f = 0; f < TrackFieldCount; ++f)
            fields[size_t(f)] = rows.fieldUtf8(i, f);
        for (const int f : {int(FieldSource), int(FieldYear), int(FieldGenre)})
            sum += fields[size_t(f)].size() + (fields[size_t(f)].isEmpty() ? 0 : uchar(fields[size_t(f)].front()));
        for (const char c : rows.extensionUtf8(i))
            sum += uchar(c);
    }
    return seconds(timer);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qsizetype count = argc > 1 ? qsizetype(std::atoll(argv[1])) : Entries;
    QElapsedTimer timer;
    timer.start();
    const RowStore rows = CatalogRows::scannedWithFacts(count);
    std::printf("generated %lld rows in %.1f s (not timed below)\n", (long long)count, seconds(timer));

    // Three rounds; the median stands against the goal.
    std::vector<Round> rounds;
    for (int r = 1; r <= 3; ++r) {
        rounds.push_back(timeRound(rows));
        const Round &x = rounds.back();
        std::printf("round %d: add %.3f s, report %.3f s, whole %.3f s\n", r, x.add, x.report, x.total());
    }
    quint64 sum = 0;
    const double reading = timeReading(rows, sum);
    std::printf("reference: reading the rows' fields and extension lines alone %.3f s (sum %llu)\n", reading,
                (unsigned long long)sum);
    std::sort(rounds.begin(), rounds.end(), [](const Round &a, const Round &b) { return a.total() < b.total(); });
    const Round &median = rounds[1];
    const Statistics::Report &report = median.result;
    std::printf("report: %lld entries, %lld bytes (%lld without a size), %s s (%lld without a playing time)\n",
                (long long)report.entries, (long long)report.bytes, (long long)report.withoutSize,
                qPrintable(Statistics::seconds(report.tenths)), (long long)report.withoutDuration);
    for (const Statistics::Breakdown breakdown : Statistics::Breakdowns)
        std::printf("  %s: %zu lines\n", qPrintable(Statistics::title(breakdown)), report.lines(breakdown).size());
    std::printf("statistics over %lld entries (median of 3): %.3f s (add %.3f s, report %.3f s); goal < %.1f s: %s\n",
                (long long)count, median.total(), median.add, median.report, GoalSeconds,
                median.total() < GoalSeconds ? "met" : "NOT met");
    return 0;
}
