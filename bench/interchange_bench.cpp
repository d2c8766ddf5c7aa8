// Interchange export benchmark: ondro-cli export m3u8, xspf, csv and jsonl
// of a catalogue of 1,000,000 scanned entries with their facts, streamed
// from the list file. Each export is timed and its peak resident memory
// (the kernel's high-water mark of a process of its own) taken; the goals
// are under 1.5 s and a peak of at most 1.25x the list file. The
// reference in the same run: ondro-cli find without a match, which streams
// the same file and writes nothing. Prints plain lines, met or NOT met;
// next to each time the CPU seconds, since the rest is waiting: for the
// disk (the atomic save's sync, the freeing of the file replaced) or for
// a busy machine.
//
// "interchange_bench FOLDER" keeps the catalogue and the exports in FOLDER
// (the catalogue made only when missing there), for a profiler.
#include "catalogrows.h"
#include "measuredrun.h"
#include "catalogue/cataloguelistfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace MeasuredRun;

constexpr qsizetype Count = 1000000;
constexpr int Rounds = 3;
constexpr double GoalSeconds = 1.5;
constexpr double GoalPeak = 1.25; // of the list file's size

} // namespace

int main(int argc, char **argv)
{
    if (MeasuredRun::isChild(argc, argv))
        return MeasuredRun::child(argc, argv);
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QDir dir(argc > 1 ? QFile::decodeName(argv[1]) : temporary.path());
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString list = data + QStringLiteral("/zembra.lst");
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../src/ondro-cli");
    if (!QFileInfo(cli).isExecutable()) {
        std::printf("ondro-cli (%s) is missing\n", qPrintable(cli));
        return 1;
    }
    if ((!QFileInfo::exists(list) && !CatalogueListFile::save(list, CatalogRows::scannedWithFacts(Count)))
        || !QDir().mkpath(out))
        return 1;
    const double listMiB = double(QFileInfo(list).size()) / MiB;
    std::printf("%lld entries with facts, list file %.1f MiB; medians of %d runs\n", qlonglong(Count), listMiB, Rounds);
    const QStringList dataDir{QStringLiteral("--data-dir"), data};

    std::vector<double> findSeconds, findPeak, findCpu;
    for (int round = 0; round < Rounds; ++round) {
        const Measured found = measure(cli, dataDir + QStringList{QStringLiteral("find"), QStringLiteral("ZZZ no")});
        findSeconds.push_back(found.seconds);
        findPeak.push_back(found.peakMiB);
        findCpu.push_back(found.cpu);
    }
    std::printf("  reference: find without a match   %6.3f s (CPU %.3f s), peak %6.1f MiB\n", median(findSeconds),
                median(findCpu), median(findPeak));
    bool allMet = true;
    for (const char *kind : {"m3u8", "xspf", "csv", "jsonl"}) {
        std::vector<double> seconds, peak, cpu;
        bool ran = true;
        for (int round = 0; round < Rounds; ++round) {
            const Measured run = measure(cli, dataDir + QStringList{QStringLiteral("export"), QString::fromLatin1(kind),
                                                                    QStringLiteral("--to"), out});
            ran = ran && run.status == 0;
            seconds.push_back(run.seconds);
            peak.push_back(run.peakMiB);
            cpu.push_back(run.cpu);
        }
        const QString file = out + QStringLiteral("/ondro.") + QString::fromLatin1(kind);
        const double ratio = median(peak) / listMiB;
        const bool met = ran && median(seconds) < GoalSeconds && ratio <= GoalPeak;
        allMet = allMet && met;
        std::printf("  export %-5s %6.3f s (goal < %.1f s; CPU %.3f s), peak %6.1f MiB = %.3fx the list file "
                    "(goal <= %.2fx), file %.1f MiB: %s\n",
                    kind, median(seconds), GoalSeconds, median(cpu), median(peak), ratio, GoalPeak,
                    double(QFileInfo(file).size()) / MiB, met ? "met" : "NOT met");
    }
    std::printf("  %s\n", allMet ? "every goal met" : "A GOAL IS NOT met");
    return allMet ? 0 : 1;
}
