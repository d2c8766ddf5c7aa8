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
// An ID3v2 tag larger than this (pictures of many MiB) is not read for
// its text frames.
constexpr qint64 LargestTagRead = 64 * 1024 * 1024;

bool stopRequested(const std::atomic_bool *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

TrackTags tagsOfId3v1(const Id3v1Fields &fields)
{
    return {fields.artist, fields.track, fields.album, fields.year, fields.genre};
}

// What the reading of one file gives before any tag parsing: the header
// bits, the ID3v1 fields, or the ID3v2 tag bytes still to be parsed.
struct RawTrack
{
    TrackInfo info;
    QByteArray id3v2;
};

void parseRawTags(RawTrack &raw)
{
    if (!raw.id3v2.isEmpty()) {
        raw.info.tags = Id3v2::readTags(raw.id3v2);
        raw.id3v2 = QByteArray();
    }
}

RawTrack readRawTrack(const QString &path)
{
    RawTrack raw;
    TrackInfo &info = raw.info;
    const MediaFile file(path);
    if (!file.isOpen())
        return raw;
    const qint64 size = file.size();

    // Buffers kept per thread: a scan reads thousands of files, and large
    // tags would otherwise be allocated and returned to the system each time.
    thread_local QByteArray head;
    thread_local QByteArray tail;
    thread_local QByteArray tag;
    if (!file.readAt(0, std::min(size, HeadBlock), head))
        return raw;

    const QString bits = FrameHeader::headerBitsOfFile(file, head);
    if (bits != FrameHeader::NotAvailable)
        info.audioheader = bits;

    if (size >= Id3v1::TagSize) {
        QByteArrayView block;
        if (head.size() == size)
            block = QByteArrayView(head).last(Id3v1::TagSize);
        else if (file.readAt(size - Id3v1::TagSize, Id3v1::TagSize, tail))
            block = tail;
        if (Id3v1::isTag(block)) {
            info.tags = tagsOfId3v1(Id3v1::parseTag(block));
            return raw;
        }
    }

    // No ID3v1 tag: the ID3v2 tag at the start, when there is one.
    const qint64 tagBytes = Id3v2::tagSize(head);
    if (tagBytes == 0 || tagBytes > LargestTagRead)
        return raw;
    if (tagBytes <= head.size())
        raw.id3v2 = head.first(tagBytes);
    else if (file.readAt(0, tagBytes, tag))
        raw.id3v2 = tag;
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

} // namespace

TrackInfo readTrackInfo(const QString &path)
{
    RawTrack raw = readRawTrack(path);
    parseRawTags(raw);
    return raw.info;
}

TrackRecord importTrack(const QString &path, const QString &source)
{
    return recordOf(path, source, readTrackInfo(path));
}

WalkResult findFiles(const QString &root, const QString &pattern, const WalkCallbacks &callbacks,
                     const std::atomic_bool *stop)
{
    return MediaWalk::walk(root, pattern, callbacks, stop);
}

ScanOutcome scanMedia(const QString &root, const QString &source, const ScanCallbacks &callbacks,
                      const std::atomic_bool *stop)
{
    ScanOutcome outcome;
    WalkCallbacks walkCallbacks;
    walkCallbacks.folderEntered = callbacks.folderEntered;
    WalkResult walk = findFiles(root, QStringLiteral("*.MP3"), walkCallbacks, stop);
    outcome.failedFolders = std::move(walk.failedFolders);
    if (walk.stopped) {
        outcome.stopped = true;
        return outcome;
    }

    const qsizetype total = walk.files.size();
    if (callbacks.importStarted)
        callbacks.importStarted(total);
    outcome.rows.reserve(total);

    // Files are read one after the other (a CD must not seek back and
    // forth), while the ID3v2 tags of the block read before are parsed on
    // other cores.
    constexpr qsizetype Block = 256;
    std::vector<RawTrack> parsing;
    QFuture<void> parsed;
    qsizetype parsingFirst = 0;
    const auto collect = [&] {
        parsed.waitForFinished();
        for (size_t k = 0; k < parsing.size(); ++k)
            outcome.rows.append(recordOf(walk.files[parsingFirst + qsizetype(k)], source, parsing[k].info),
                                EntryOrigin::Own);
        parsing.clear();
    };
    for (qsizetype first = 0; first < total; first += Block) {
        std::vector<RawTrack> reading;
        const qsizetype last = std::min(total, first + Block);
        reading.reserve(size_t(last - first));
        for (qsizetype i = first; i < last; ++i) {
            if (stopRequested(stop)) {
                // A stopped scan adds nothing: the catalogue stays as it was.
                parsed.waitForFinished();
                outcome.rows.clear();
                outcome.stopped = true;
                return outcome;
            }
            reading.push_back(readRawTrack(walk.files[i]));
            if (callbacks.fileImported)
                callbacks.fileImported(i + 1, total);
        }
        collect();
        parsing = std::move(reading);
        parsingFirst = first;
        parsed = QtConcurrent::map(parsing, parseRawTags);
    }
    collect();
    return outcome;
}
