// Query benchmark over a catalogue of 1,000,000 scanned entries with their
// facts (every hundredth artist given the word "Band", so that "band" is in
// about 1 % of the rows):
//  (a) one filter pass (Query::Matcher::filter) for a word, a field query
//      and a year range, 50 runs each, the 95th percentile against 50 ms;
//  (b) `ondro-cli query 'artist:band year:1990..1999'` on the list file of
//      those entries against `grep -ci band` on the same file, processes
//      alternated, medians of three, within 5x;
//  (c) the memory the filter adds per entry while it runs (its result is
//      4 bytes per shown row), for a query every row matches and for the
//      word, against 8 bytes.
// Prints plain lines, "met" or "NOT met" for each goal.
// Usage: query_bench [ROWS [PATH_OF_ONDRO_CLI [PARTS [QUERY]]]] (default
// ondro-cli: next to this program in the build tree; PARTS such as "a" or
// "bc", all by default; QUERY in place of the three of (a)); fewer rows,
// one part and one query for a profiler.
#include "browse/querymatcher.h"
#include "browse/queryparser.h"
#include "catalogrows.h"
#include "processmemory.h"
#include "catalogue/cataloguelistfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int Runs = 50;
constexpr double GoalMs = 50;
constexpr double GoalRatio = 5;
constexpr double GoalBytesPerEntry = 8;

const char *verdict(bool met)
{
    return met ? "met" : "NOT met";
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// The filter of query over rows, Runs times: the median and 95th percentile.
void timeFilter(const RowStore &rows, const char *query)
{
    const Query::Parsed parsed = Query::parse(QString::fromUtf8(query));
    if (!parsed.ok()) {
        std::printf("  %s: %s\n", query, qPrintable(parsed.error));
        return;
    }
    const Query::Matcher matcher(parsed.root.get(), {});
    std::vector<double> ms;
    size_t shown = 0;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        shown = matcher.filter(rows).size();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double p95 = percentile(ms, 0.95);
    std::printf("  %-22s %7zu rows (%5.2f %%)  median %6.1f ms  p95 %6.1f ms (goal < %.0f ms)  %s\n", query, shown,
                100.0 * double(shown) / double(rows.size()), percentile(ms, 0.5), p95, GoalMs, verdict(p95 < GoalMs));
}

// The peak memory one filter of query adds, per entry of rows.
void filterMemory(const RowStore &rows, const char *query)
{
    const Query::Parsed parsed = Query::parse(QString::fromUtf8(query));
    const Query::Matcher matcher(parsed.root.get(), {});
    matcher.filter(rows); // the pool's threads started, their stacks touched
    if (!ProcessMemory::resetPeak()) {
        std::printf("  %s: the peak memory cannot be reset here\n", query);
        return;
    }
    const qint64 before = ProcessMemory::statusKib("VmRSS");
    const std::vector<qint32> shown = matcher.filter(rows);
    const qint64 peak = ProcessMemory::statusKib("VmHWM");
    const double added = double(peak - before) * 1024 / double(rows.size());
    const double kept = double(shown.capacity() * sizeof(qint32)) / double(rows.size());
    std::printf("  %-22s %7zu rows: result %.2f bytes per entry, peak added %.2f bytes per entry (goal <= %.0f)  %s\n",
                query, shown.size(), kept, added, GoalBytesPerEntry, verdict(added <= GoalBytesPerEntry));
}

// Seconds a process takes, its standard output going to the file output
// (not /dev/null, where grep stops at the first match).
double runSeconds(const QString &program, const QStringList &arguments, const QString &output, int *exitCode = nullptr)
{
    QProcess process;
    process.setStandardOutputFile(output);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (exitCode)
        *exitCode = process.exitCode();
    return double(timer.nsecsElapsed()) / 1e9;
}

void compareWithGrep(const QString &cli, const QString &dataDir, const QString &file)
{
    const QString output = dataDir + QStringLiteral("/output");
    const char *query = "artist:band year:1990..1999";
    std::vector<double> ours, grep;
    int status = 0;
    for (int i = 0; i < 3; ++i) {
        ours.push_back(runSeconds(cli, {QStringLiteral("--data-dir"), dataDir, QStringLiteral("query"),
                                        QString::fromUtf8(query)},
                                  output, &status));
        grep.push_back(runSeconds(QStringLiteral("grep"), {QStringLiteral("-ci"), QStringLiteral("band"), file}, output));
    }
    const double a = percentile(ours, 0.5), b = percentile(grep, 0.5);
    std::printf("  query '%s'  %.3f s (exit %d)  grep -ci band  %.3f s  ratio %.2f (goal within %.0fx)  %s\n", query,
                a, status, b, a / b, GoalRatio, verdict(a / b <= GoalRatio));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qsizetype count = argc > 1 ? qsizetype(std::atoll(argv[1])) : 1000000;
    const QString cli = argc > 2 && *argv[2] ? QString::fromLocal8Bit(argv[2])
                                             : QCoreApplication::applicationDirPath() + QStringLiteral("/../src/ondro-cli");
    const QByteArray parts = argc > 3 ? QByteArray(argv[3]) : QByteArray("abc");
    QElapsedTimer timer;
    timer.start();
    RowStore rows = CatalogRows::scannedWithFacts(count);
    for (qsizetype row = 0; row < rows.size(); row += 100)
        rows.setField(row, FieldArtist, rows.field(row, FieldArtist) + QStringLiteral(" Band"));
    std::printf("%lld entries with facts made in %.1f s (not timed below)\n\n", qlonglong(count),
                double(timer.nsecsElapsed()) / 1e9);

    if (parts.contains('a')) {
        std::printf("(a) one filter pass, %d runs each, %d threads\n", Runs, QThread::idealThreadCount());
        if (argc > 4) {
            timeFilter(rows, argv[4]);
        } else {
            for (const char *query : {"band", "artist:band", "year:1990..1999"})
                timeFilter(rows, query);
        }
    }
    if (parts.contains('c')) {
        std::printf("\n(c) memory the filter adds while it runs\n");
        for (const char *query : {"-nosuchword", "band"})
            filterMemory(rows, query);
    }
    if (!parts.contains('b'))
        return 0;

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("zembra.lst"));
    if (!CatalogueListFile::save(file, rows)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    rows.clear();
    if (!QFileInfo(cli).isExecutable()) {
        std::fprintf(stderr, "no ondro-cli at %s (build the ondro-cli target, or name it)\n", qPrintable(cli));
        return 1;
    }
    std::printf("\n(b) ondro-cli on the list file of %lld entries (%.0f MiB), output to a file, medians of 3\n",
                qlonglong(count), double(QFileInfo(file).size()) / 1048576.0);
    compareWithGrep(cli, dir.path(), file);
    return 0;
}
