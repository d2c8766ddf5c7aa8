// Scan speed: the program's scanMedia against a minimal walker that reads
// what the facts and tags need on one thread and hashes the audio's edges,
// without listing order, frame search or tag parsing, on a generated tree
// of 20,000 MP3 files (warm and cold), and cold on one of 200,000 too;
// wall time and CPU time (user and system, all threads) of each. Prints
// plain text lines.

#include "barereader.h"
#include "benchcorpus.h"
#include "media/mediascan.h"
#include "processmemory.h"
#include "id3bytes.h"
#include "mp3bytes.h"
#include "walkpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The cold scan's goal: this many times as fast as the one-thread reference
// (on media that are not optical); the warm scan's: at least this share of
// the reference's speed, with at most this much of its CPU time; one
// reader's (as on optical media), warm: at least this share.
constexpr double ColdGoal = 1.5;
constexpr double WarmGoal = 1.0;
constexpr double CpuGoal = 1.3;
constexpr double OneReaderGoal = 0.85;

const char *verdict(bool met)
{
    return met ? "met" : "NOT met";
}

// CPU time of the process so far, user and system, of all its threads;
// the user time alone in user.
double cpuSeconds(double *user = nullptr)
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    if (user)
        *user = seconds(usage.ru_utime);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The CPU time since a start, and its user part.
struct CpuSpent
{
    double total = 0;
    double user = 0;
};

double runReference(const QString &root, long &files, qint64 *bytes = nullptr, CpuSpent *cpu = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    double userBefore = 0;
    const double cpuBefore = cpuSeconds(&userBefore);
    Reference reference;
    reference.walk(QFile::encodeName(root).toStdString());
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (cpu) {
        cpu->total = cpuSeconds(&cpu->user) - cpuBefore;
        cpu->user -= userBefore;
    }
    files = reference.files;
    if (bytes)
        *bytes = reference.bytes;
    return seconds;
}

double runProgram(const QString &root, long &files, long &withHeader, long &withArtist, int readers = 0,
                  CpuSpent *cpu = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    double userBefore = 0;
    const double cpuBefore = cpuSeconds(&userBefore);
    const ScanOutcome outcome = scanMedia(root, QStringLiteral("BENCH"), {}, nullptr, readers);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (cpu) {
        cpu->total = cpuSeconds(&cpu->user) - cpuBefore;
        cpu->user -= userBefore;
    }
    files = long(outcome.rows.size());
    withHeader = withArtist = 0;
    for (qsizetype i = 0; i < outcome.rows.size(); ++i) {
        withHeader += !outcome.rows.fieldUtf8(i, FieldAudioHeader).isEmpty();
        withArtist += !outcome.rows.fieldUtf8(i, FieldArtist).isEmpty();
    }
    return seconds;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Warm cache: the reference, the scan with the readers its medium gets and
// with one reader, alternated; medians of the rounds, and the spread of
// the ratio between rounds.
void printWarm(const QString &root, int rounds)
{
    std::vector<double> refWall, refCpu, wall, cpu, oneWall, ratios;
    for (int round = 1; round <= rounds; ++round) {
        long refFiles = 0, files = 0, headers = 0, artists = 0;
        qint64 refBytes = 0;
        CpuSpent rc, pc;
        refWall.push_back(runReference(root, refFiles, &refBytes, &rc));
        refCpu.push_back(rc.total);
        wall.push_back(runProgram(root, files, headers, artists, 0, &pc));
        cpu.push_back(pc.total);
        oneWall.push_back(runProgram(root, files, headers, artists, 1));
        ratios.push_back(refWall.back() / wall.back());
        std::printf("round %d: reference %ld files in %.3f s, CPU %.3f s (user %.3f s; %.1f KiB read a file); "
                    "scanMedia %ld files (%ld with header, %ld with artist) in %.3f s, CPU %.3f s (user %.3f s), one "
                    "reader %.3f s; ratio %.2f\n",
                    round, refFiles, refWall.back(), rc.total, rc.user, double(refBytes) / 1024.0 / double(refFiles),
                    files, headers, artists, wall.back(), pc.total, pc.user, oneWall.back(), ratios.back());
    }
    const double ratio = median(refWall) / median(wall), cpuRatio = median(cpu) / median(refCpu);
    const double oneRatio = median(refWall) / median(oneWall);
    std::printf("warm cache, medians of %d rounds: reference %.3f s (CPU %.3f s), scanMedia %.3f s (CPU %.3f s)\n",
                rounds, median(refWall), median(refCpu), median(wall), median(cpu));
    std::printf("warm cache: ratio %.2f (rounds %.2f-%.2f; goal at least %.2f): %s\n", ratio,
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
                WarmGoal, verdict(ratio >= WarmGoal));
    std::printf("warm cache: scanMedia's CPU time %.2fx the reference's (goal at most %.2f): %s\n", cpuRatio, CpuGoal,
                verdict(cpuRatio <= CpuGoal));
    std::printf("warm cache, one reader: %.3f s, ratio %.2f to the one-thread reference (goal at least %.2f): %s\n",
                median(oneWall), oneRatio, OneReaderGoal, verdict(oneRatio >= OneReaderGoal));
}

// Empties the page cache so the next reads come from the medium; false
// when this process may not (it needs root).
bool dropCaches()
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2 && drop.flush();
}

// Cold cache: the one-thread reference against the scan with the readers
// its medium gets and with one reader, each after the page cache was
// emptied, alternated; the best of two rounds each.
void printCold(const QString &label, const QString &root)
{
    if (!dropCaches()) {
        std::printf("cold cache, %s: skipped, the page cache cannot be emptied here (needs root)\n", qPrintable(label));
        return;
    }
    const int readers = readersForMedium(root);
    double bestRef = 1e9, bestProgram = 1e9, bestOne = 1e9;
    long files = 0, programFiles = 0, headers = 0, artists = 0;
    for (int round = 1; round <= 2; ++round) {
        dropCaches();
        bestRef = std::min(bestRef, runReference(root, files));
        dropCaches();
        bestProgram = std::min(bestProgram, runProgram(root, programFiles, headers, artists));
        dropCaches();
        bestOne = std::min(bestOne, runProgram(root, programFiles, headers, artists, 1));
    }
    std::printf("cold cache, %s (%ld files, %d readers for this medium, file system %s): reference (bare reader, one "
                "thread) %.3f s, scanMedia %.3f s (one reader %.3f s); speed-up %.2f (goal %.2f): %s\n",
                qPrintable(label), files, readers, QStorageInfo(root).fileSystemType().constData(), bestRef,
                bestProgram, bestOne, bestRef / bestProgram, ColdGoal, verdict(bestRef / bestProgram >= ColdGoal));
}

// Scans root and prints how far the resident memory rose above what it was
// before the scan (the peak was reset to it first).
void printPeakGrowth(const QString &label, const QString &root)
{
    const bool reset = ProcessMemory::resetPeak();
    const qint64 before = ProcessMemory::statusKib("VmRSS");
    QElapsedTimer timer;
    timer.start();
    const ScanOutcome outcome = scanMedia(root, QStringLiteral("BENCH"));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const qint64 peak = ProcessMemory::statusKib("VmHWM");
    long titled = 0;
    for (qsizetype i = 0; i < outcome.rows.size(); ++i)
        titled += !outcome.rows.fieldUtf8(i, FieldTrack).isEmpty();
    std::printf("%s: %lld files (%ld with title) in %.3f s, peak memory growth (VmHWM) %.1f MiB%s\n",
                qPrintable(label), static_cast<long long>(outcome.rows.size()), titled, seconds,
                double(peak - before) / 1024.0, reset ? "" : " (peak could not be reset: growth since start)");
}

// The cold scan of a tree of 200,000 files, written for it and removed
// after it.
bool printLargeCold()
{
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/.cache/ondro-scan-bench-large-XXXXXX"));
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    if (!dir.isValid() || !generate(dir.path(), bytes, LargeTreeArtists)) {
        std::printf("cannot write the large media tree under %s\n", qPrintable(dir.path()));
        return false;
    }
    std::printf("large media tree: %d MP3 files, %.1f MB, written in %.1f s\n",
                LargeTreeArtists * AlbumsPerArtist * TracksPerAlbum, double(bytes) / 1e6,
                double(timer.elapsed()) / 1000.0);
    printCold(QStringLiteral("200,000 files"), dir.path());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // "scan_bench profile DIR [READERS [cold]]": ten scans of a tree made
    // once in DIR, for a profiler, without the tree's writing in the
    // profile; with "cold", three, each after the page cache was emptied.
    if (argc > 2 && std::strcmp(argv[1], "profile") == 0) {
        const QString tree = QString::fromLocal8Bit(argv[2]);
        qint64 bytes = 0;
        if (!QDir(tree).exists() && !(QDir().mkpath(tree) && generate(tree, bytes))) {
            std::printf("cannot write the media tree under %s\n", argv[2]);
            return 1;
        }
        const int readers = argc > 3 ? std::atoi(argv[3]) : 1;
        long files = 0, headers = 0, artists = 0;
        double program = 1e9, reference = 1e9;
        // READERS 0 profiles the reference alone; a negative count the
        // program alone with that many readers.
        const bool cold = argc > 4 && std::strcmp(argv[4], "cold") == 0;
        for (int round = 0; round < (cold ? 3 : 10); ++round) {
            if (readers != 0 && (!cold || dropCaches()))
                program = std::min(program, runProgram(tree, files, headers, artists, std::abs(readers)));
            if (readers >= 0 && (!cold || dropCaches()))
                reference = std::min(reference, runReference(tree, files));
        }
        std::printf("profile: reference %.3f s, scanMedia %.3f s with %d readers, ratio %.2f\n", reference, program,
                    readers, reference / program);
        return 0;
    }
    // On the disk, not in a memory file system, so the cold runs read it.
    QDir().mkpath(QDir::homePath() + QStringLiteral("/.cache"));
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/.cache/ondro-scan-bench-XXXXXX"));
    if (!dir.isValid()) {
        std::printf("cannot create a temporary folder\n");
        return 1;
    }
    const QString root = dir.path();
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    if (!generate(root, bytes)) {
        std::printf("cannot write the media tree under %s\n", qPrintable(root));
        return 1;
    }
    std::printf("media tree: %d MP3 files, %d other files, %.1f MB, written in %.1f s\n",
                Artists * AlbumsPerArtist * TracksPerAlbum, Artists * AlbumsPerArtist * 2, double(bytes) / 1e6,
                double(timer.elapsed()) / 1000.0);

    // "scan_bench warm" runs seven warm rounds and stops there.
    const bool warmOnly = argc > 1 && std::strcmp(argv[1], "warm") == 0;
    printWarm(root, warmOnly ? 7 : 5);
    timer.restart();
    const WalkResult walk = walkPaths(root, QStringLiteral("*.MP3"));
    std::printf("walk alone (walkPaths): %lld files in %.3f s\n", static_cast<long long>(walk.files.size()),
                double(timer.nsecsElapsed()) / 1e9);
    if (warmOnly) {
        long files = 0;
        const double reference = runReference(root, files);
        // The same warm scan with each number of readers, for tuning.
        for (int readers : {1, 2, 4, 8}) {
            double fastest = 1e9;
            long files = 0, headers = 0, artists = 0;
            for (int round = 0; round < 3; ++round)
                fastest = std::min(fastest, runProgram(root, files, headers, artists, readers));
            std::printf("warm cache, %d readers: scanMedia %.3f s, ratio %.2f\n", readers, fastest, reference / fastest);
        }
        return 0;
    }
    printCold(QStringLiteral("20,000 files"), root);
    printPeakGrowth(QStringLiteral("memory, ordinary tree"), root);
    if (!printLargeCold())
        return 1;

    // Files with 64 MiB tags: what a scan holds must not grow with the tags.
    constexpr int LargeTagFiles = 300;
    const QString large = root + QStringLiteral("/large tags");
    if (!QDir().mkpath(large)) {
        std::printf("cannot create %s\n", qPrintable(large));
        return 1;
    }
    for (int n = 0; n < LargeTagFiles; ++n) {
        if (!writeSparseLargeTagFile(large + QStringLiteral("/%1.mp3").arg(n), n)) {
            std::printf("cannot write the large-tag files under %s\n", qPrintable(large));
            return 1;
        }
    }
    printPeakGrowth(QStringLiteral("memory, %1 files with 64 MiB tags (sparse)").arg(LargeTagFiles), large);
    return 0;
}
