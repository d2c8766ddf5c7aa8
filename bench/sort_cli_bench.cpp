// Sorting and the shell companion at a million entries: the sort by each
// of the nine columns against the 1 s target (and the plain collator sort
// it replaced, by artist), then `ondro-cli list` against `cat` of the same
// list file and `ondro-cli find` with no match against `grep -ci`, each
// pair run as processes in the same run, alternated, medians of three.
// Usage: sort_cli_bench [PATH_OF_ONDRO_CLI] (default: next to this program
// in the build tree).
#include "catalogrows.h"
#include "collatororder.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"
#include "catalogue/columnsort.h"
#include "catalogue/factcolumns.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

const char *methodName(ColumnSort::Method method)
{
    switch (method) {
    case ColumnSort::Method::AsciiTable: return "ASCII table";
    case ColumnSort::Method::IcuKeys: return "ICU keys";
    }
    return "";
}

// Seconds a process takes, its standard output going to /dev/null.
double runSeconds(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (exitCode)
        *exitCode = process.exitCode();
    return seconds;
}

// Medians of three alternated runs of a command and its reference.
void compare(const char *what, const QString &program, const QStringList &arguments, const QString &reference,
             const QStringList &referenceArguments, double targetRatio)
{
    std::vector<double> ours, theirs;
    int status = 0;
    for (int i = 0; i < 3; ++i) {
        ours.push_back(runSeconds(program, arguments, &status));
        theirs.push_back(runSeconds(reference, referenceArguments));
    }
    const double a = median(ours), b = median(theirs);
    std::printf("  %-28s %7.3f s  %-6s %7.3f s  ratio %5.2f (target %.0fx)  %s  (exit %d)\n", what, a,
                qPrintable(reference), b, a / b, targetRatio,
                a / b <= targetRatio ? "met" : "NOT MET", status);
}

QString quoted(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}

// The same pair with the output going through a pipe into wc -c, as
// output read by another program goes.
void compareThroughPipe(const char *what, const QString &command, const QString &reference, double targetRatio)
{
    const QStringList ours{QStringLiteral("-c"), command + QStringLiteral(" | wc -c")};
    const QStringList theirs{QStringLiteral("-c"), reference + QStringLiteral(" | wc -c")};
    std::vector<double> a, b;
    for (int i = 0; i < 3; ++i) {
        a.push_back(runSeconds(QStringLiteral("sh"), ours));
        b.push_back(runSeconds(QStringLiteral("sh"), theirs));
    }
    const double x = median(a), y = median(b);
    std::printf("  %-28s %7.3f s  %-6s %7.3f s  ratio %5.2f (target %.0fx)  %s\n", what, x,
                qPrintable(reference.section(QLatin1Char(' '), 0, 0)), y, x / y, targetRatio,
                x / y <= targetRatio ? "met" : "NOT MET");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString cli = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                 : QCoreApplication::applicationDirPath() + QStringLiteral("/../src/ondro-cli");
    constexpr qsizetype Count = 1000000;

    std::printf("Sorting %lld entries by each column (target: under 1 s each)\n", qlonglong(Count));
    RowStore rows = CatalogRows::scanned(Count);
    const QStringList headers = CatalogueModel::catalogueHeaders();
    for (int field = 0; field < TrackFieldCount; ++field) {
        std::vector<double> times;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer timer;
            timer.start();
            const std::vector<qsizetype> order = stableSortOrder(rows, field);
            times.push_back(timer.nsecsElapsed() / 1e9);
            if (qsizetype(order.size()) != Count)
                return 1;
        }
        const double t = median(times);
        std::printf("  %-12s %7.3f s  (%s)  %s\n", qPrintable(headers.at(field)), t,
                    methodName(ColumnSort::methodFor(rows, field)), t < 1.0 ? "met" : "NOT MET");
    }
    {
        // The fact columns, over rows that carry a scan's facts.
        const RowStore withFacts = CatalogRows::scannedWithFacts(Count);
        const QStringList factHeaders = FactColumns::headers();
        for (int column = FactColumns::First; column < FactColumns::end(); ++column) {
            std::vector<double> times;
            for (int i = 0; i < 3; ++i) {
                QElapsedTimer timer;
                timer.start();
                if (qsizetype(stableSortOrder(withFacts, column).size()) != Count)
                    return 1;
                times.push_back(timer.nsecsElapsed() / 1e9);
            }
            const double t = median(times);
            std::printf("  %-12s %7.3f s  (facts)  %s\n", qPrintable(factHeaders.at(column - FactColumns::First)), t,
                        t < 1.0 ? "met" : "NOT MET");
        }
    }
    {
        QElapsedTimer timer;
        timer.start();
        collatorOrder(rows, FieldArtist);
        std::printf("  %-12s %7.3f s  (the plain Qt collator sort, for comparison)\n", "Artist", timer.nsecsElapsed() / 1e9);
    }

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
    std::printf("\nondro-cli on the list file of %lld entries (%.0f MiB), output to /dev/null\n", qlonglong(Count),
                QFileInfo(file).size() / 1048576.0);
    compare("list", cli, {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("list")}, QStringLiteral("cat"),
            {file}, 3);
    compareThroughPipe("list | wc -c", quoted(cli) + QStringLiteral(" --data-dir ") + quoted(dir.path()) +
                                           QStringLiteral(" list"),
                       QStringLiteral("cat ") + quoted(file), 3);
    compare("find (no match)", cli,
            {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("find"), QStringLiteral("no such text")},
            QStringLiteral("grep"), {QStringLiteral("-ci"), QStringLiteral("no such text"), file}, 5);
    return 0;
}
