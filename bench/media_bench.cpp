// Media benchmark: a rescan of an unchanged medium against scanning it, the
// rescan's comparison of 100,000 entries with 100,000 files, and the
// start-up of a catalogue of 1,000,000 entries with 1,000 media in the
// register, all offline (read, register, online states) against its
// memory goal. Goals: rescan within 1.2x of the scan; the comparison under
// 0.3 s; start-up under 0.5 s, peak at most 1.25x the list file plus the
// register.
#include "catalogrows.h"
#include "id3bytes.h"
#include "media/mediascan.h"
#include "media/rescan.h"
#include "processmemory.h"
#include "recordingplatform.h"
#include "catalogue/cataloguelistfile.h"
#include "media/mediasession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

bool writeMedium(const QString &root, int files)
{
    for (int i = 0; i < files; ++i) {
        const QString folder = QStringLiteral("%1/Artist_%2/Album_%3").arg(root).arg(i / 200).arg(i / 20 % 10);
        if (i % 20 == 0 && !QDir().mkpath(folder))
            return false;
        QFile file(QStringLiteral("%1/%2_Track.mp3").arg(folder).arg(i));
        const QByteArray bytes = taggedMp3(QByteArray("Title ") + QByteArray::number(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

// Scanning and rescanning the same medium, best of three each, alternated.
void rescanAgainstScan()
{
    constexpr int Files = 20000;
    QTemporaryDir dir;
    const QString root = dir.path();
    if (!writeMedium(root, Files)) {
        std::printf("rescan: could not write the medium\n");
        return;
    }
    const RowStore catalogue = scanMedia(root, QStringLiteral("CD02")).rows; // also warms the cache
    double scan = 1e9, rescan = 1e9;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        const ScanOutcome scanned = scanMedia(root, QStringLiteral("CD02"));
        scan = std::min(scan, clock.nsecsElapsed() / 1e9);
        clock.restart();
        const ScanOutcome again = scanMedia(root, QStringLiteral("CD02"));
        const RescanDiff diff = diffRescan(catalogue, QStringLiteral("CD02"), root, again.rows, root, {}, {});
        rescan = std::min(rescan, clock.nsecsElapsed() / 1e9);
        if (diff.count(RescanDiff::Kind::Kept) != Files || scanned.rows.size() != Files)
            std::printf("rescan: %lld kept of %d\n", qlonglong(diff.count(RescanDiff::Kind::Kept)), Files);
    }
    std::printf("rescan of an unchanged %d-file medium: %.3f s; scan %.3f s; ratio %.2f (goal 1.20: %s)\n", Files,
                rescan, scan, rescan / scan, verdict(rescan / scan <= 1.2));
}

// The comparison alone: 100,000 entries against the same 100,000 files,
// one in ten retagged and one in a hundred moved.
void diffOfAHundredThousand()
{
    constexpr qsizetype Count = 100000;
    QStringList paths, moved;
    for (qsizetype i = 0; i < Count; ++i) {
        paths << QStringLiteral("/media/cd/Artist_%1/Album_%2/%3_Some_Track_Title.mp3").arg(i / 200).arg(i % 13).arg(i);
        moved << (i % 100 == 0 ? QStringLiteral("/media/cd/Moved/%1_Some_Track_Title.mp3").arg(i) : paths.last());
    }
    const RowStore catalogue = CatalogRows::fromPaths(paths, QStringList(Count, QStringLiteral("CD02")));
    RowStore scanned = CatalogRows::fromPaths(moved, QStringList(Count, QStringLiteral("CD02")));
    for (qsizetype i = 5; i < Count; i += 10)
        scanned.setField(i, FieldTrack, QStringLiteral("Retagged %1").arg(i));
    double best = 1e9;
    RescanDiff diff;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        diff = diffRescan(catalogue, QStringLiteral("CD02"), QStringLiteral("/media/cd"), scanned,
                          QStringLiteral("/media/cd"), {}, {});
        best = std::min(best, clock.nsecsElapsed() / 1e9);
    }
    std::printf("rescan comparison of %lld entries: %.3f s (%s) (goal under 0.3 s: %s)\n", qlonglong(Count), best,
                qPrintable(rescanSummary(QStringLiteral("CD02"), diff)), verdict(best < 0.3));
}

// What the desktop does at start, in the order it does it: the list file
// read, then the register and the online state of every medium.
void startUpWithOfflineMedia()
{
    constexpr qsizetype Count = 1000000;
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("zembra.lst"));
    MediaRegister media;
    {
        if (!CatalogueListFile::save(list, CatalogRows::generated(Count))) {
            std::printf("start-up: could not write the list file\n");
            return;
        }
        for (int i = 0; i < 1000; ++i) {
            MediaRecord &record = media.recordFor(QStringLiteral("CD%1").arg(i, 2, 10, QLatin1Char('0')));
            record.root = QStringLiteral("/media/gone/%1").arg(i);
            record.mountRoot = QStringLiteral("/media/gone");
            record.uuid = i % 10 == 3 ? QString() : QStringLiteral("uuid-%1").arg(i); // a tenth are shares
            record.note = QStringLiteral("Shelf %1, box %2").arg(i / 100).arg(i % 100);
        }
        if (!media.save(MediaRegister::fileIn(dir.path())))
            return;
    }
    const double fileBytes = double(QFileInfo(list).size() + QFileInfo(MediaRegister::fileIn(dir.path())).size());
    RecordingPlatform platform;
    platform.volumes = QList<MountedVolume>{}; // nothing mounted: every medium offline
    ProcessMemory::resetPeak();
    const qint64 before = ProcessMemory::statusKib("VmRSS");
    QElapsedTimer clock;
    clock.start();
    const CatalogueListFile::ReadResult read = CatalogueListFile::read(list);
    const double loadOnly = clock.nsecsElapsed() / 1e9;
    MediaSession session(MediaRegister::fileIn(dir.path()), platform);
    const QString problem = session.load();
    session.refresh(read.rows);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double grown = double(ProcessMemory::statusKib("VmHWM") - before) * 1024;
    std::printf("start-up, %lld entries and %lld media all offline%s: %.3f s (the list file alone %.3f s) "
                "(goal under 0.5 s: %s); peak %.3fx the list file and the register (goal 1.25: %s)\n",
                qlonglong(read.rows.size()), qlonglong(session.media().records().size()),
                problem.isEmpty() ? "" : " (register NOT read)", seconds, loadOnly, verdict(seconds < 0.5),
                grown / fileBytes, verdict(grown / fileBytes <= 1.25));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    rescanAgainstScan();
    diffOfAHundredThousand();
    startUpWithOfflineMedia();
    return 0;
}
