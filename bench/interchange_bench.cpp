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
#include "store/cataloguelistfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr qsizetype Count = 1000000;
constexpr int Rounds = 3;
constexpr double GoalSeconds = 1.5;
constexpr double GoalPeak = 1.25; // of the list file's size
constexpr double MiB = 1024.0 * 1024.0;
constexpr int FiguresFd = 3; // where a measuring process writes its figures

struct Measured
{
    double seconds = 0;
    double peakMiB = 0;
    int status = -1;
    double cpu = 0; // user and system seconds
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Spawns argv[0] with standard output to /dev/null and waits for it: its
// seconds, peak resident memory (wait4) and exit status.
Measured spawnAndWait(char **argv)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, FiguresFd);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    Measured measured;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        struct rusage usage = {};
        if (::wait4(pid, &status, 0, &usage) == pid)
            measured = {timer.nsecsElapsed() / 1e9, double(usage.ru_maxrss) * 1024.0 / MiB,
                        WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                        double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6};
    }
    posix_spawn_file_actions_destroy(&actions);
    return measured;
}

// "--measure PROGRAM ARGUMENTS...": runs before Qt is set up, so that the
// spawner stays small (a child's peak is never below its spawner's at the
// spawn); writes seconds, peak MiB and status to FiguresFd.
int measureChild(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const Measured measured = spawnAndWait(argv + 2);
    ::dprintf(FiguresFd, "%.6f %.3f %d %.6f\n", measured.seconds, measured.peakMiB, measured.status, measured.cpu);
    return 0;
}

Measured measure(const QString &program, const QStringList &arguments)
{
    std::vector<QByteArray> owned{QFile::encodeName(QCoreApplication::applicationFilePath()), "--measure",
                                  QFile::encodeName(program)};
    for (const QString &argument : arguments)
        owned.push_back(argument.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &part : owned)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    int figures[2];
    if (::pipe(figures) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, figures[1], FiguresFd);
    posix_spawn_file_actions_addclose(&actions, figures[0]);
    pid_t pid = 0;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(figures[1]);
    QFile read;
    read.open(figures[0], QIODevice::ReadOnly, QFile::AutoCloseHandle);
    const QList<QByteArray> parts = spawned ? read.readAll().trimmed().split(' ') : QList<QByteArray>();
    if (spawned)
        ::waitpid(pid, nullptr, 0);
    if (parts.size() != 4)
        return {};
    return {parts[0].toDouble(), parts[1].toDouble(), parts[2].toInt(), parts[3].toDouble()};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && QByteArrayView(argv[1]) == "--measure")
        return measureChild(argc, argv);
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
