#include "mediascan.h"

#include "frameheader.h"
#include "id3v1.h"
#include "id3v2.h"
#include "mediafile.h"
#include "mediawalk.h"

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

} // namespace

TrackInfo readTrackInfo(const QString &path)
{
    TrackInfo info;
    const MediaFile file(path);
    if (!file.isOpen())
        return info;
    const qint64 size = file.size();

    // Buffers kept per thread: a scan reads thousands of files, and large
    // tags would otherwise be allocated and returned to the system each time.
    thread_local QByteArray head;
    thread_local QByteArray tail;
    thread_local QByteArray tag;
    if (!file.readAt(0, std::min(size, HeadBlock), head))
        return info;

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
            return info;
        }
    }

    // No ID3v1 tag: the ID3v2 tag at the start, when there is one.
    const qint64 tagBytes = Id3v2::tagSize(head);
    if (tagBytes == 0 || tagBytes > LargestTagRead)
        return info;
    if (tagBytes <= head.size()) {
        info.tags = Id3v2::readTags(QByteArrayView(head).first(tagBytes));
    } else {
        if (file.readAt(0, tagBytes, tag))
            info.tags = Id3v2::readTags(tag);
    }
    return info;
}

TrackRecord importTrack(const QString &path, const QString &source)
{
    const TrackInfo info = readTrackInfo(path);
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
    for (qsizetype i = 0; i < total; ++i) {
        if (stopRequested(stop)) {
            // A stopped scan adds nothing: the catalogue stays as it was.
            outcome.rows.clear();
            outcome.stopped = true;
            return outcome;
        }
        outcome.rows.append(importTrack(walk.files[i], source), EntryOrigin::Own);
        if (callbacks.fileImported)
            callbacks.fileImported(i + 1, total);
    }
    return outcome;
}
