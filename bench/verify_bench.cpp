// Verification speed: Verify::run over the bench corpus's 20,000 MP3 files
// (every byte of each read and its frames followed) against cat of the
// same files, in the same order, to /dev/null, warm (the files in the page
// cache) and, where this process may empty the cache, cold; the ratio of
// the speeds, cat's time over the verification's, in the same run. Prints
// plain text lines. cat runs as a process; the same reads in this process
// are a second reference.

#include "benchcorpus.h"
#include "media/mediascan.h"
#include "media/verifyrun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <vector>
#include <unistd.h>

namespace {

// The warm verification's goal: at least this share of cat's speed.
constexpr double WarmGoal = 0.9;

const char *verdict(bool met)
{
    return met ? "met" : "NOT met";
}

// cat of the files listed in list (NUL-separated, as xargs hands them on),
// to /dev/null; its seconds, or a negative number when it failed.
double runCat(const QString &list)
{
    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    cat.start(QStringLiteral("xargs"), {QStringLiteral("-0"), QStringLiteral("-a"), list, QStringLiteral("cat")});
    if (!cat.waitForFinished(-1) || cat.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

// What cat does, in this process, without starting one: each file opened,
// read to its end in cat's 128 KiB blocks, closed, on one thread. Where
// starting processes or cat's own calls cost much (a sandbox), this is the
// fairer reference.
double runBareCat(const QByteArrayList &paths)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<char> block(128 * 1024);
    for (const QByteArray &path : paths) {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return -1;
        while (::read(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

double runVerify(const RowStore &rows, int readers, qint64 &problems)
{
    QElapsedTimer timer;
    timer.start();
    const Verify::Outcome outcome = Verify::run(rows, QStringLiteral("BENCH"), {}, nullptr, readers);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    problems = Verify::problems(outcome.counts);
    return seconds;
}

// Empties the page cache; false when this process may not (it needs root
// and a kernel that lets a container do it).
bool dropCaches()
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2 && drop.flush();
}

// The best of rounds runs of cat and of the verification with readers and
// with one reader (as on optical media), alternated, each after the cache
// was emptied when cold.
void compare(const char *label, const RowStore &rows, const QByteArrayList &paths, const QString &list, int readers,
             int rounds, bool cold)
{
    double cat = 1e9, bare = 1e9, many = 1e9, one = 1e9;
    qint64 problems = 0;
    for (int round = 0; round < rounds; ++round) {
        if (cold)
            dropCaches();
        const double seconds = runCat(list);
        cat = seconds < 0 ? -1 : std::min(cat, seconds);
        if (cold)
            dropCaches();
        bare = std::min(bare, runBareCat(paths));
        if (cold)
            dropCaches();
        many = std::min(many, runVerify(rows, readers, problems));
        if (cold)
            dropCaches();
        one = std::min(one, runVerify(rows, 1, problems));
    }
    if (cat < 0) {
        std::printf("%s: cat could not be run\n", label);
        return;
    }
    std::printf("%s: cat %.3f s; verify with %d readers %.3f s, ratio %.2f (goal at least %.2f): %s; with one reader "
                "%.3f s, ratio %.2f (goal at least %.2f): %s; %lld problems found\n",
                label, cat, readers, many, cat / many, WarmGoal, verdict(cat / many >= WarmGoal), one, cat / one,
                WarmGoal, verdict(cat / one >= WarmGoal), static_cast<long long>(problems));
    std::printf("%s, against cat's reads in this process (one thread, 128 KiB blocks) %.3f s: verify with %d "
                "readers ratio %.2f: %s; with one reader ratio %.2f: %s\n",
                label, bare, readers, bare / many, verdict(bare / many >= WarmGoal), bare / one,
                verdict(bare / one >= WarmGoal));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // On the disk, not in a memory file system, so the cold runs read it.
    QDir().mkpath(QDir::homePath() + QStringLiteral("/.cache"));
    // "verify_bench DIR": the tree made once in DIR and kept, for a profiler.
    QTemporaryDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1])
                               : QDir::homePath() + QStringLiteral("/.cache/ondro-verify-bench-XXXXXX"));
    dir.setAutoRemove(argc < 2);
    qint64 bytes = 0;
    if (!dir.isValid() || (!QFile::exists(dir.filePath(QStringLiteral("Artist 0"))) && !generate(dir.path(), bytes))) {
        std::printf("cannot write the media tree under %s\n", qPrintable(dir.path()));
        return 1;
    }
    const RowStore rows = scanMedia(dir.path(), QStringLiteral("BENCH")).rows;
    QByteArrayList paths;
    for (qsizetype row = 0; row < rows.size(); ++row)
        paths << rows.fieldUtf8(row, FieldFilename).toByteArray();
    std::sort(paths.begin(), paths.end(), Verify::walkLess);
    const QString list = dir.filePath(QStringLiteral("files.list"));
    QFile listFile(list);
    if (!listFile.open(QIODevice::WriteOnly) || listFile.write(paths.join('\0') + '\0') < 0 || !listFile.flush()) {
        std::printf("cannot write the list of files %s\n", qPrintable(list));
        return 1;
    }
    const int readers = readersForMedium(dir.path());
    std::printf("media tree: %lld MP3 files, %.1f MB, file system %s\n", static_cast<long long>(rows.size()),
                double(bytes) / 1e6, QStorageInfo(dir.path()).fileSystemType().constData());
    compare("warm cache", rows, paths, list, readers, 5, false);
    if (!dropCaches())
        std::printf("cold cache: skipped, the page cache cannot be emptied here (needs root, and a kernel that "
                    "lets this container write /proc/sys/vm/drop_caches)\n");
    else
        compare("cold cache", rows, paths, list, readers, 2, true);
    return 0;
}
