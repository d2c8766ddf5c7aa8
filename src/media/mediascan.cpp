#include "media/mediascan.h"

#include "media/frameheader.h"
#include "media/id3v1.h"
#include "media/id3v2.h"
#include "media/mediafile.h"
#include "media/mediawalk.h"

#include <QtConcurrent/QtConcurrentMap>
#include <vector>

namespace {

// The first read of every file: the tag header, and for most files
// without a large picture the first frame as well.
constexpr qint64 HeadBlock = 8 * 1024;
// Files read ahead of the parsing, per batch: a batch is handed to the
// parsing threads when it holds this many files or this many tag bytes,
// whichever comes first. With one batch parsing while the next is read,
// the bytes in flight stay near twice the byte budget plus one file's
// reads, whatever the files hold.
constexpr qsizetype BatchFiles = 256;
constexpr qint64 BatchBytes = 1024 * 1024;

bool stopRequested(const std::atomic_bool *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

// What the reading of one file gives before any tag parsing: the header
// bits, the ID3v1 fields, or the ID3v2 text frames still to be parsed.
struct RawTrack
{
    TrackInfo info;
    QByteArray textTag;
};

void parseRawTags(RawTrack &raw)
{
    if (!raw.textTag.isEmpty()) {
        raw.info.tags = Id3v2::readTextTag(raw.textTag);
        raw.textTag = QByteArray();
    }
}

// Every buffer is the call's own and is freed when it returns: a file
// with a large tag costs its reads only while it is being read.
RawTrack readRawTrack(const QString &path)
{
    RawTrack raw;
    TrackInfo &info = raw.info;
    const MediaFile file(path);
    info.status = file.status();
    info.problem = file.problem();
    if (!file.isOpen())
        return raw;
    const qint64 size = file.size();

    QByteArray head;
    if (!file.readAt(0, std::min(size, HeadBlock), head))
        return raw;

    const QString bits = FrameHeader::headerBitsOfFile(file, head);
    if (bits != FrameHeader::NotAvailable)
        info.audioheader = bits;

    if (size >= Id3v1::TagSize) {
        QByteArray tail;
        QByteArrayView block;
        if (head.size() == size)
            block = QByteArrayView(head).last(Id3v1::TagSize);
        else if (file.readAt(size - Id3v1::TagSize, Id3v1::TagSize, tail))
            block = tail;
        if (Id3v1::isTag(block)) {
            info.tags = Id3v1::parseTag(block);
            return raw;
        }
    }

    // No ID3v1 tag: the text frames of the ID3v2 tag at the start.
    raw.textTag = Id3v2::collectTextFrames(file, head);
    return raw;
}

TrackRecord recordOf(const QString &path, const QString &source, const TrackInfo &info)
{
    TrackRecord record;
    record.filename = path;
    record.source = source;
    record.artist = info.tags.artist;
    record.track = info.tags.track;
    record.album = info.tags.album;
    record.year = info.tags.year;
    record.genre = info.tags.genre;
    record.audioheader = info.audioheader;
    return record;
}

// A path the walk took for a plain file that is not one when it is read
// (it vanished, or turned into a pipe) is skipped; a plain file whose tags
// cannot be read still becomes an entry with what could be read.
bool isImported(const TrackInfo &info)
{
    return info.status != FileStatus::NotPlainFile && info.status != FileStatus::Missing;
}

struct Batch
{
    std::vector<RawTrack> tracks;
    std::vector<qsizetype> indexes; // into the walk's files
    qint64 bytes = 0;
};

} // namespace

TrackInfo readTrackInfo(const QString &path)
{
    RawTrack raw = readRawTrack(path);
    parseRawTags(raw);
    return raw.info;
}

ScanOutcome scanMedia(const QString &root, const QString &source, const ScanCallbacks &callbacks,
                      const std::atomic_bool *stop)
{
    ScanOutcome outcome;
    WalkCallbacks walkCallbacks;
    walkCallbacks.folderEntered = callbacks.folderEntered;
    WalkResult walk = MediaWalk::walk(root, QStringLiteral("*.MP3"), walkCallbacks, stop);
    outcome.failedFolders = std::move(walk.failedFolders);
    outcome.skipped = std::move(walk.skipped);
    if (walk.stopped) {
        outcome.stopped = true;
        return outcome;
    }

    const qsizetype total = walk.files.size();
    if (callbacks.importStarted)
        callbacks.importStarted(total);
    outcome.rows.reserve(total);

    // Files are read one after the other (a CD must not seek back and
    // forth), while the ID3v2 tags of the batch read before are parsed on
    // other cores.
    Batch parsing;
    QFuture<void> parsed;
    const auto collect = [&] {
        parsed.waitForFinished();
        for (size_t k = 0; k < parsing.tracks.size(); ++k) {
            const QString &path = walk.files[parsing.indexes[k]];
            const TrackInfo &info = parsing.tracks[k].info;
            if (isImported(info))
                outcome.rows.append(recordOf(path, source, info), EntryOrigin::Own);
            else
                outcome.skipped.append({path, info.problem});
        }
        parsing = Batch();
    };
    Batch reading;
    for (qsizetype i = 0; i < total; ++i) {
        if (stopRequested(stop)) {
            // A stopped scan adds nothing: the catalogue stays as it was.
            parsed.waitForFinished();
            outcome.rows.clear();
            outcome.stopped = true;
            return outcome;
        }
        reading.tracks.push_back(readRawTrack(walk.files[i]));
        reading.indexes.push_back(i);
        reading.bytes += reading.tracks.back().textTag.size();
        if (callbacks.fileImported)
            callbacks.fileImported(i + 1, total);
        if (qsizetype(reading.tracks.size()) >= BatchFiles || reading.bytes >= BatchBytes || i + 1 == total) {
            collect();
            parsing = std::move(reading);
            reading = Batch();
            parsed = QtConcurrent::map(parsing.tracks, parseRawTags);
        }
    }
    collect();
    return outcome;
}
