// Catalogue benchmark: builds catalogues of 100,000 and 1,000,000 entries
// with realistic paths, tags and the extension lines a scan writes, then
// times saving and loading the list file (the load's peak memory measured
// in a process of its own), sorting by a column, and adding a scan's 2,000
// rows to the large catalogue; and tells how much the extension lines add
// to the file. Each figure stands next to a reference measured in the same
// run: a plain write, read or copy of the same bytes, or the same rows
// without extension lines.
#include "catalogue/cataloguelistfile.h"
#include "catalogrows.h"
#include "processmemory.h"
#include "catalogue/cataloguemodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

double seconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e9;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Reads the file in blocks as a plain program would, keeping nothing.
qint64 plainRead(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    std::vector<char> buffer(size_t(128) << 10);
    qint64 total = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
        total += got;
    ::close(fd);
    return total;
}

// Copies a file block by block and syncs the copy, as a careful cp would.
bool plainCopy(const QString &from, const QString &to)
{
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<char> buffer(size_t(128) << 10);
    bool ok = in >= 0 && out >= 0;
    for (ssize_t got; ok && (got = ::read(in, buffer.data(), buffer.size())) > 0;)
        ok = ::write(out, buffer.data(), size_t(got)) == got;
    ok = ok && ::fsync(out) == 0;
    ::close(in);
    ::close(out);
    return ok;
}

// Writes bytes to a new file and syncs it: the floor under a save.
bool plainWrite(const QString &path, const QByteArray &bytes)
{
    const int out = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = out >= 0 && ::write(out, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ok = ok && ::fsync(out) == 0;
    ::close(out);
    return ok;
}

// Runs in a process of its own, so that the peak memory it reports is the
// load's alone: "load" reads the list file into rows, "read" only reads
// the bytes. Prints seconds, peak KiB, resident KiB before, rows.
int child(const QString &mode, const QString &path)
{
    const long before = long(ProcessMemory::statusKib("VmRSS"));
    QElapsedTimer timer;
    timer.start();
    qint64 rows = 0;
    if (mode == QLatin1String("load")) {
        const CatalogueListFile::ReadResult read = CatalogueListFile::read(path);
        rows = read.rows.size();
        std::printf("%.6f %ld %ld %lld\n", seconds(timer), long(ProcessMemory::statusKib("VmHWM")), before, (long long)rows);
    } else {
        plainRead(path);
        std::printf("%.6f %ld %ld 0\n", seconds(timer), long(ProcessMemory::statusKib("VmHWM")), before);
    }
    return 0;
}

struct ChildFigures
{
    double seconds = 0;
    double peakGrowthBytes = 0; // peak resident minus resident before the work
    qint64 rows = 0;
};

ChildFigures runChild(const QString &mode, const QString &path)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, path});
    process.waitForFinished(-1);
    const QList<QByteArray> parts = process.readAllStandardOutput().trimmed().split(' ');
    if (parts.size() != 4)
        return {};
    return {parts[0].toDouble(), (parts[1].toDouble() - parts[2].toDouble()) * 1024.0, parts[3].toLongLong()};
}

void line(const char *what, double figure, const char *unit, const char *reference, double referenceFigure,
          const char *target, bool met)
{
    std::printf("  %-34s %8.3f %-3s | %-30s %8.3f | target %s: %s\n", what, figure, unit, reference,
                referenceFigure, target, met ? "met" : "NOT met");
}

// The size of the list file of the same rows without their extension
// lines: what the lines add is measured against it.
qint64 bytesWithoutLines(qsizetype count, const QString &folder)
{
    const QString path = folder + QStringLiteral("/without.lst");
    const RowStore rows = CatalogRows::scannedWithFacts(count, false);
    if (!CatalogueListFile::save(path, rows))
        return 0;
    const qint64 bytes = QFileInfo(path).size();
    QFile::remove(path);
    return bytes;
}

void run(qsizetype count, const QString &folder)
{
    const QString path = folder + QStringLiteral("/zembra.lst");
    RowStore generated = CatalogRows::scannedWithFacts(count);

    QElapsedTimer timer;
    timer.start();
    const SaveResult saved = CatalogueListFile::save(path, generated);
    const double saveSeconds = seconds(timer);
    if (!saved) {
        std::printf("save failed: %s\n", qPrintable(saved.error));
        return;
    }
    generated.clear();
    const qint64 fileBytes = QFileInfo(path).size();
    double plainWriteSeconds = 0;
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        timer.restart();
        plainWrite(folder + QStringLiteral("/plain.lst"), bytes);
        plainWriteSeconds = seconds(timer);
        QFile::remove(folder + QStringLiteral("/plain.lst"));
    }

    std::vector<double> loads, reads, loadPeaks, readPeaks;
    for (int round = 0; round < 3; ++round) {
        const ChildFigures load = runChild(QStringLiteral("load"), path);
        const ChildFigures read = runChild(QStringLiteral("read"), path);
        if (load.rows != count)
            std::printf("  the load gave %lld rows, not %lld\n", (long long)load.rows, (long long)count);
        loads.push_back(load.seconds);
        loadPeaks.push_back(load.peakGrowthBytes);
        reads.push_back(read.seconds);
        readPeaks.push_back(read.peakGrowthBytes);
    }

    CatalogueModel model;
    model.appendRows(CatalogueListFile::read(path).rows);
    timer.restart();
    model.sort(FieldArtist);
    const double sortSeconds = seconds(timer);

    const qint64 withoutLines = bytesWithoutLines(count, folder);
    const double growth = double(fileBytes) / double(withoutLines) - 1;
    const double peakRatio = median(loadPeaks) / fileBytes;
    std::printf("%lld entries with extension lines, list file %.1f MB (%.0f bytes/entry); medians of 3 where "
                "marked\n",
                (long long)count, fileBytes / 1e6, double(fileBytes) / count);
    line("extension lines' growth", 100 * growth, "%", "MB without the lines", withoutLines / 1e6, "<= +40 %",
         growth <= 0.40);
    line("save", saveSeconds, "s", "plain write of the bytes + sync", plainWriteSeconds, "< 0.5 s",
         saveSeconds < 0.5);
    line("load (median)", median(loads), "s", "plain block read (median)", median(reads), "< 0.5 s",
         median(loads) < 0.5);
    line("load peak memory / file bytes", peakRatio, "x", "plain read's peak / file", median(readPeaks) / fileBytes,
         "<= 1.25x", peakRatio <= 1.25);
    std::printf("  %-34s %8.3f s   (not a goal of this benchmark)\n", "sort by artist", sortSeconds);
    std::printf("  held %.0f bytes/entry (rows + arena), held/file %.2f\n", double(model.rows().bytesHeld()) / count,
                double(model.rows().bytesHeld()) / fileBytes);
    if (count < 1000000)
        return;

    // Adding a scan's rows: into this catalogue, with the whole-file check
    // a scan makes first, against adding them to no catalogue plus a plain
    // copy of this file.
    RowStore scanned = CatalogRows::scannedWithFacts(2000);
    const QString empty = folder + QStringLiteral("/empty.lst");
    const QString copy = folder + QStringLiteral("/copy.lst");
    std::vector<double> intoBig, intoEmpty, copies;
    for (int round = 0; round < 3; ++round) {
        QFile::remove(empty);
        timer.restart();
        const SaveResult first = CatalogueListFile::appendRecords(empty, FileStamp::of(empty), scanned);
        intoEmpty.push_back(seconds(timer));

        timer.restart();
        plainCopy(path, copy);
        copies.push_back(seconds(timer));
        QFile::remove(copy);

        timer.restart();
        const CatalogueListFile::ReadResult checked = CatalogueListFile::check(path);
        const SaveResult added = CatalogueListFile::appendRecords(path, checked.stamp, scanned);
        intoBig.push_back(seconds(timer));
        if (!first || !added || checked.state != CatalogueListFile::ReadState::Whole)
            std::printf("  append failed: %s %s\n", qPrintable(first.error), qPrintable(added.error));
    }
    const qint64 expected = count + 3 * scanned.size();
    const qint64 got = CatalogueListFile::check(path).records;
    if (got != expected)
        std::printf("  after the appends the file holds %lld records, not %lld\n", (long long)got,
                    (long long)expected);
    const double reference = median(intoEmpty) + median(copies);
    line("add 2,000 (median)", median(intoBig), "s", "into empty + plain copy", reference, "<= 2x reference",
         median(intoBig) <= 2 * reference);
    std::printf("  %-34s %8.3f x   (into empty %.3f s, copy %.3f s)\n", "ratio", median(intoBig) / reference,
                median(intoEmpty), median(copies));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArrayView(argv[1]) == "--child")
        return child(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    QTemporaryDir dir;
    for (qsizetype count : {qsizetype(100000), qsizetype(1000000)})
        run(count, dir.path());
    return 0;
}
