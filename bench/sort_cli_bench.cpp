// Sorting and the shell companion at a million entries: the sort by each
// of the nine columns against the 1 s target (and the plain collator sort
// it replaced, by artist), then `ondro-cli list` against `cat` of the same
// list file and `ondro-cli find` with no match against `grep -ci`, each
// pair run as processes in the same run, alternated, medians of three.
// Usage: sort_cli_bench [PATH_OF_ONDRO_CLI] (default: next to this program
// in the build tree).
#include "store/cataloguelistfile.h"
#include "store/cataloguemodel.h"
#include "store/columnsort.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char *const Words[] = {"Love",   "Night",  "Blue",     "River",  "Dance", "Fire",      "Road",
                             "Heart",  "Dream",  "Rain",     "Summer", "Shadow", "Golden",   "Electric",
                             "Silent", "Wild",   "Café",     "Motörhead", "Broken", "Sweet", "Ålborg",
                             "the",    "AND",    "Zoë",      "(Live)", "Part 2", "Mix-10", "O'Brien"};
const char *const Genres[] = {"Rock", "Pop", "Jazz", "Classical", "Hip-Hop", "Electronic", "Blues", "Metal", ""};

QString words(QRandomGenerator &rng, int min, int max)
{
    QStringList out;
    const int n = int(rng.bounded(min, max + 1));
    for (int i = 0; i < n; ++i)
        out << QString::fromUtf8(Words[rng.bounded(int(std::size(Words)))]);
    return out.join(QLatin1Char(' '));
}

// Entries as scans give them: full paths under a few media, tag fields
// from a small vocabulary (with accents and case variants), frame headers.
RowStore generate(qsizetype count)
{
    QRandomGenerator rng(42);
    RowStore rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        TrackRecord r;
        r.artist = words(rng, 1, 3);
        r.album = words(rng, 1, 4);
        r.track = words(rng, 1, 5);
        r.source = QStringLiteral("CD%1").arg(i / 150 + 1, 3, 10, QLatin1Char('0'));
        r.filename = QStringLiteral("/media/%1/Music/%2/%3/%4 - %5.mp3")
                         .arg(r.source, r.artist, r.album)
                         .arg(i % 20 + 1, 2, 10, QLatin1Char('0'))
                         .arg(r.track);
        r.year = rng.bounded(10) == 0 ? QString() : QString::number(1960 + rng.bounded(60));
        r.genre = QString::fromUtf8(Genres[rng.bounded(int(std::size(Genres)))]);
        r.coverimage = i % 10 == 0 ? QStringLiteral("/home/me/covers/%1.jpg").arg(r.album) : QString();
        QString bits;
        for (int b = 0; b < 4; ++b)
            bits += QStringLiteral("%1 ").arg(b == 0 ? 255 : int(rng.bounded(256)), 8, 2, QLatin1Char('0'));
        r.audioheader = bits;
        rows.append(r, EntryOrigin::Own);
    }
    return rows;
}

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
    case ColumnSort::Method::QtCollator: return "Qt collator";
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
    RowStore rows = generate(Count);
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
        QElapsedTimer timer;
        timer.start();
        ColumnSort::collatorOrder(rows, FieldArtist);
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
