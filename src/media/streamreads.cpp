// The reading of a file's parts for its stream facts: as few reads as
// the facts need, each part taken from bytes read before where it can be.
#include "media/streamfacts.h"

#include "media/frameheader.h"
#include "media/framerun.h"
#include "media/id3v2.h"
#include "media/mediafile.h"
#include "media/streamheader.h"

#include <algorithm>
#include <cstring>

namespace StreamFacts {

using FrameHeader::Frame;

namespace {

// A file may begin with more than one ID3v2 tag, and end with more than
// one tag; a few are taken, not more.
constexpr int MostTags = 4;
// The first read of a file that no one read before.
constexpr qint64 StartBytes = 8 * 1024;

// Reads count bytes at offset, all of them: fewer means the file changed.
bool readExactly(const ByteSource &file, qint64 offset, qint64 count, QByteArray &out)
{
    return file.readAt(offset, count, out) && out.size() == count;
}

// Where the ID3v2 tags at the start end, by their sizes: their headers
// from start where it holds them, else read.
bool skipStartTags(const ByteSource &file, QByteArrayView start, qint64 &tagsEnd)
{
    const qint64 size = file.size();
    QByteArray header;
    for (int i = 0; i < MostTags && tagsEnd < size; ++i) {
        QByteArrayView view;
        if (tagsEnd + Id3v2::HeaderSize <= start.size())
            view = start.sliced(tagsEnd, Id3v2::HeaderSize);
        else if (readExactly(file, tagsEnd, std::min<qint64>(Id3v2::HeaderSize, size - tagsEnd), header))
            view = header;
        else
            return false;
        const qint64 tag = Id3v2::tagSize(view);
        if (tag == 0)
            break;
        tagsEnd = std::min(tagsEnd + tag, size);
    }
    return true;
}

// Makes at view the count bytes from tagsEnd. When start is the facts'
// own first read (startBuffer) and reaches tagsEnd, the rest is read onto
// its end: the bytes it holds are not copied. Otherwise what start holds
// of them is copied into head and only the rest is read.
bool readFrom(const ByteSource &file, QByteArrayView &start, QByteArray *startBuffer, qint64 tagsEnd, qint64 count,
              QByteArray &head, QByteArrayView &at)
{
    if (startBuffer && tagsEnd <= startBuffer->size()) {
        const qint64 have = startBuffer->size();
        const qint64 end = tagsEnd + count;
        if (end > have) {
            startBuffer->resize(qsizetype(end));
            const bool whole = file.readInto(have, end - have, startBuffer->data() + have) == end - have;
            if (!whole)
                startBuffer->truncate(qsizetype(have)); // only bytes read stay in it
            start = *startBuffer; // it may have moved
            if (!whole)
                return false;
        }
        at = start.sliced(tagsEnd, count);
        return true;
    }
    qint64 have = 0;
    if (tagsEnd < start.size()) {
        have = std::min(count, start.size() - tagsEnd);
        head.resize(qsizetype(have));
        std::memcpy(head.data(), start.data() + tagsEnd, size_t(have));
    } else {
        head.truncate(0);
    }
    if (have < count) {
        head.resize(qsizetype(count));
        if (file.readInto(tagsEnd + have, count - have, head.data() + have) != count - have)
            return false;
    }
    at = head;
    return true;
}

// An edge read where the audio begins is enough when it starts with the
// first frame, and the stream either has a header that gives its length or
// its frames share one bitrate: a VBR stream without a header is
// estimated from its frames, the more of them the better. The frames it
// walked go to run.
bool edgeIsEnough(QByteArrayView head, std::optional<FrameRun::Seen> &run)
{
    if (head.size() < EdgeBytes || FrameHeader::findFrameHeader(head) != 0)
        return false;
    const Frame frame = *FrameHeader::decodeFrame(head.first(4));
    if (readStreamHeader(head, frame).kind != StreamHeader::None)
        return true;
    FrameRun::Seen seen;
    qsizetype walked = 0;
    FrameRun::walk(head, walked, seen);
    run = seen;
    return seen.frames > 0 && seen.lowest == seen.highest;
}

// Reads the bytes where the audio begins (at, from start or head as
// readFrom puts them): an edge, or up to HeadBytes when its first frame is
// not followed by a whole edge there; run holds the frames from at's start
// when they were walked.
bool readHead(const ByteSource &file, QByteArrayView &start, QByteArray *startBuffer, qint64 &tagsEnd,
              QByteArray &head, QByteArrayView &at, std::optional<FrameRun::Seen> &run)
{
    if (!skipStartTags(file, start, tagsEnd))
        return false;
    const qint64 left = file.size() - tagsEnd;
    if (!readFrom(file, start, startBuffer, tagsEnd, std::min(EdgeBytes, left), head, at))
        return false;
    if (edgeIsEnough(at, run) || at.size() == left)
        return true;
    run.reset();
    return readFrom(file, start, startBuffer, tagsEnd, std::min(HeadBytes, left), head, at);
}

// Finds the tags at the end by their sizes, down to tagsEnd at most, and
// reads the audio's last edge: tail holds the bytes read, from tailAt to
// the end of the file, and edge the audio's last bytes in it.
bool readTail(const ByteSource &file, qint64 tagsEnd, qint64 &audioEnd, qint64 &tailAt, QByteArray &tail,
              QByteArrayView &edge)
{
    const qint64 size = file.size();
    audioEnd = size;
    tailAt = std::max(tagsEnd, size - TailBytes);
    if (!readExactly(file, tailAt, size - tailAt, tail))
        return false;
    for (int i = 0; i < MostTags; ++i) {
        if (audioEnd - tailAt < EndTagLook && tailAt > tagsEnd) {
            tailAt = std::max(tagsEnd, audioEnd - TailBytes);
            if (!readExactly(file, tailAt, size - tailAt, tail))
                return false;
        }
        const QByteArrayView before = QByteArrayView(tail).first(audioEnd - tailAt);
        const qint64 tag = endTagSize(before, audioEnd == size);
        if (tag == 0 || tag > audioEnd - tagsEnd)
            break;
        audioEnd -= tag;
    }
    const qint64 edgeAt = audioEnd - std::min(EdgeBytes, audioEnd - tagsEnd);
    if (edgeAt < tailAt) {
        // Long tags at the end: only the audio's edge is read again.
        tailAt = edgeAt;
        if (!readExactly(file, tailAt, audioEnd - tailAt, tail))
            return false;
    }
    edge = QByteArrayView(tail).sliced(edgeAt - tailAt, audioEnd - edgeAt);
    return true;
}

} // namespace

std::optional<Facts> readStreamFacts(const ByteSource &file, QByteArrayView start, Reads *reads)
{
    qint64 tagsEnd = 0;
    qint64 audioEnd = 0;
    qint64 tailAt = 0;
    QByteArrayView edge;
    // Each reading thread reuses its buffers: a file costs no allocation.
    thread_local QByteArray own;
    thread_local QByteArray head;
    thread_local QByteArray tail;
    QByteArray *startBuffer = nullptr;
    if (start.isEmpty()) {
        own.reserve(StartBytes + HeadBytes); // the start and the head after tags it holds
        if (!readExactly(file, 0, std::min(StartBytes, file.size()), own))
            return std::nullopt;
        start = own;
        startBuffer = &own;
    }
    QByteArrayView at;
    std::optional<FrameRun::Seen> headRun;
    const bool headRead = readHead(file, start, startBuffer, tagsEnd, head, at, headRun);
    if (reads && startBuffer)
        reads->start = start; // it may have grown
    if (!headRead || !readTail(file, tagsEnd, audioEnd, tailAt, tail, edge))
        return std::nullopt;
    if (reads) {
        reads->headAt = tagsEnd;
        reads->head = at;
        reads->tailAt = tailAt;
        reads->tail = tail;
    }
    return factsOf({file.size(), tagsEnd, at, audioEnd, edge, headRun});
}

std::optional<Facts> readStreamFacts(const QString &path)
{
    const MediaFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    return readStreamFacts(file, {});
}

} // namespace StreamFacts
