#pragma once

#include <QByteArrayView>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

// Other programs timed and their peak memory taken, for benchmarks. The
// peak wait4 reports is never below the spawner's own at the spawn, so a
// benchmark measures through a small process of its own: its main() first
// hands "--measure ..." to MeasuredRun::child(), before Qt is set up.
namespace MeasuredRun {

constexpr int FiguresFd = 3; // where the measuring process writes its figures
constexpr double MiB = 1024.0 * 1024.0;

struct Measured
{
    double seconds = 0;
    double peakMiB = 0;
    int status = -1;
    double cpu = 0; // user and system seconds
};

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Spawns argv[0] with its standard input from input and its standard
// output into output and waits for it.
inline Measured spawnAndWait(char **argv, const char *input, const char *output)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
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

// "--measure INPUT OUTPUT PROGRAM ARGUMENTS...": runs PROGRAM and writes
// its figures to FiguresFd, which PROGRAM does not get.
inline int child(int argc, char **argv)
{
    if (argc < 5)
        return 2;
    const Measured m = spawnAndWait(argv + 4, argv[2], argv[3]);
    ::dprintf(FiguresFd, "%.6f %.3f %d %.6f\n", m.seconds, m.peakMiB, m.status, m.cpu);
    return 0;
}

// Runs program with its standard input from input and its standard output
// into output (both /dev/null when empty), through this program's child().
inline Measured measure(const QString &program, const QStringList &arguments, const QString &input = {},
                        const QString &output = {})
{
    const QByteArray null("/dev/null");
    std::vector<QByteArray> owned{QFile::encodeName(QCoreApplication::applicationFilePath()), "--measure",
                                  input.isEmpty() ? null : QFile::encodeName(input),
                                  output.isEmpty() ? null : QFile::encodeName(output), QFile::encodeName(program)};
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

// For main(): true when this process was started to measure another.
inline bool isChild(int argc, char **argv)
{
    return argc > 1 && QByteArrayView(argv[1]) == "--measure";
}

} // namespace MeasuredRun
