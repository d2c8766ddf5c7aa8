#include "media/id3v2collect.h"

#include "media/id3v2.h"
#include "media/mediafile.h"

#include <algorithm>
#include <utility>

namespace {

using namespace Id3v2;

// Frames looked at in one tag: far more than any real tag holds, few
// enough that a tag of millions of tiny frames costs no time.
constexpr int MaxFramesExamined = 10000;
// A wanted frame larger than this holds no title or name and is passed over.
constexpr qint64 LargestTextFrame = 256 * 1024;
// Tags whose frames cannot be walked one by one (sizes that do not add
// up) are read whole for TagLib, up to this size; larger ones give no fields.
constexpr qint64 LargestWholeTag = 1024 * 1024;
// A 2.2 or 2.3 tag unsynchronised as a whole is read into memory to be
// undone, up to this size (a large cover picture fits); of a larger one,
// the frames that begin within it are read.
constexpr qint64 LargestUnsyncTag = 64 * 1024 * 1024;
// The kept frames of one tag stop growing past this.
constexpr qint64 LargestKept = 1024 * 1024;
// A picture frame larger than this is passed over by a reader of pictures.
constexpr qint64 LargestPicture = 32 * 1024 * 1024;
// Bytes read at once while walking frame headers.
constexpr qint64 WindowSize = 64 * 1024;
// Every field but the late year: once these are found the rest is not read.
// Most files have no disc number, so their walk goes on to the tag's end,
// over frame headers only, as it does for a file without a year.
constexpr int AllFields = (1 << Artist) | (1 << Title) | (1 << Album) | (1 << Genre) | (1 << Year)
                          | (1 << TrackNumber) | (1 << DiscNumber);

// A moving window over the source, so that frame headers are read in
// blocks while large frames are passed over without being read.
class Window
{
public:
    Window(const ByteSource &source, QByteArrayView head) : m_source(source), m_head(head) {}

    // The count bytes at pos, or null when the source ends before them or
    // cannot be read.
    const uchar *at(qint64 pos, qint64 count)
    {
        if (pos + count <= m_head.size())
            return reinterpret_cast<const uchar *>(m_head.data()) + pos;
        if (pos < m_at || pos + count > m_at + m_bytes.size()) {
            m_at = pos;
            if (!m_source.readAt(pos, std::max(count, WindowSize), m_bytes)) {
                m_bytes.clear();
                return nullptr;
            }
        }
        if (pos + count > m_at + m_bytes.size())
            return nullptr;
        return reinterpret_cast<const uchar *>(m_bytes.constData()) + (pos - m_at);
    }

    // The count bytes at pos when they were read already, else null.
    const uchar *held(qint64 pos, qint64 count) const
    {
        if (pos + count <= m_head.size())
            return reinterpret_cast<const uchar *>(m_head.data()) + pos;
        if (pos >= m_at && pos + count <= m_at + m_bytes.size())
            return reinterpret_cast<const uchar *>(m_bytes.constData()) + (pos - m_at);
        return nullptr;
    }

private:
    const ByteSource &m_source;
    QByteArrayView m_head;
    QByteArray m_bytes;
    qint64 m_at = 0;
};

// The header and body, without a footer (nor its flag): the header's size
// leaves the footer out, and the readers then take the frames up to that
// size. Empty past LargestWholeTag or on a read failure.
QByteArray wholeTag(const ByteSource &source, qint64 bodyEnd, uchar flags)
{
    QByteArray whole;
    const qint64 available = std::min(bodyEnd, source.size());
    if (available > LargestWholeTag || !source.readAt(0, available, whole))
        return QByteArray();
    if (whole.size() > 5)
        whole[5] = char(flags & ~FooterFlag);
    return whole;
}

// How the frames of one tag are written.
struct Layout
{
    int version = 3;
    bool plainSizes = false;  // 2.4 sizes written as plain integers
    bool unsyncFrames = false; // 2.4: the header says every frame is unsynchronised
    bool cutEndsWalk = false;  // a frame running past the end ends the walk
};

// The wanted frames of a tag of version 2 to 4 whose frames end at end.
struct KeptFrames
{
    QByteArray &bytes; // room for the tag's header, then the frames
    bool dropped = false;  // a frame was passed over
    bool rewritten = false; // a kept frame was written otherwise than in the tag
    qint64 pos = HeaderSize; // where the walk stopped
    bool picture = false; // a picture frame that can be read was passed

    // Starts a walk from start, with the room of bytes kept.
    void restart(qint64 start)
    {
        bytes.resize(HeaderSize);
        dropped = rewritten = picture = false;
        pos = start;
    }
};

// Kept frames up to this size leave their room to the thread's next tag.
constexpr qsizetype LargestRoomKept = 64 * 1024;

// A reader of the picture frames a walk passes: true once it has the one it wants.
using PictureReader = std::function<bool(const PictureFrame &)>;

// Appends a kept frame to out as the readers take it. In 2.4 a frame's
// unsynchronisation and data length indicator are undone and its size
// written synchsafe, so that neither reader has to guess at sizes or
// flags; UTF-16 values get the byte order mark they lack. Most frames need
// none of it and go as they are.
void appendKeptFrame(QByteArray &out, const uchar *frame, qint64 size, const Layout &layout, bool &rewritten)
{
    const int headerSize = frameHeaderSize(layout.version);
    QByteArrayView data(frame + headerSize, qsizetype(size));
    const uchar flags = layout.version == 4 ? frame[9] : 0;
    const bool undo = layout.version == 4 && (flags & ~(FrameUnsyncFlag | DataLengthFlag)) == 0
                      && ((flags & (FrameUnsyncFlag | DataLengthFlag)) || layout.unsyncFrames);
    if (!undo && !layout.plainSizes && !lacksByteOrderMark(data)) {
        out.append(reinterpret_cast<const char *>(frame), qsizetype(headerSize + size));
        return;
    }
    rewritten = true;
    QByteArray undone;
    uchar format = flags;
    if (undo) {
        data = undoFrameFormat(data, flags, layout.unsyncFrames, undone);
        format = 0;
    }
    const QByteArray text = lacksByteOrderMark(data) ? withByteOrderMarks(data) : data.toByteArray();
    QByteArray header(reinterpret_cast<const char *>(frame), headerSize);
    if (layout.version == 4) {
        header[9] = char(format);
        for (int i = 7; i >= 4; --i)
            header[i] = char((text.size() >> (7 * (7 - i))) & 0x7F);
    } else {
        const int sizeBytes = layout.version == 2 ? 3 : 4;
        for (int i = 0; i < sizeBytes; ++i)
            header[frameIdSize(layout.version) + i] = char(quint32(text.size()) >> (8 * (sizeBytes - 1 - i)));
    }
    out.append(header).append(text);
}

// True when a frame header (or padding, or the end) starts at pos: a walk
// by wrong sizes lands in the middle of some frame's data.
bool frameStartsAt(Window &window, const Layout &layout, qint64 pos, qint64 end)
{
    const int headerSize = frameHeaderSize(layout.version);
    if (pos + headerSize > end)
        return true;
    const uchar *frame = window.at(pos, headerSize);
    return frame && (frame[0] == 0 || isFrameId(frame, layout.version));
}

// Notes a picture frame among the frame headers after pos already read (no read is added).
void notePictureHeld(const Window &window, const Layout &layout, qint64 pos, qint64 end, KeptFrames &kept)
{
    const int headerSize = frameHeaderSize(layout.version);
    for (int examined = 0; examined < MaxFramesExamined && !kept.picture && pos + headerSize <= end; ++examined) {
        const uchar *frame = window.held(pos, headerSize);
        if (!frame || frame[0] == 0 || !isFrameId(frame, layout.version))
            return;
        const qint64 size = frameSize(frame, layout.version, layout.plainSizes);
        if (size < 0 || pos + headerSize + size > end)
            return;
        kept.picture = isPictureFrame(frame, layout.version);
        pos += headerSize + size;
    }
}

// Walks the frames from kept.pos, keeping the wanted ones and noting the
// pictures (handed to readPicture when given, whose true ends the walk);
// false when the tag must be read otherwise (a read failure, a frame id that
// is not one, a size that is not synchsafe or, unless cutEndsWalk, runs past the tag).
bool keepTextFrames(Window &window, const Layout &layout, qint64 end, KeptFrames &kept,
                    const PictureReader *readPicture = nullptr)
{
    const int headerSize = frameHeaderSize(layout.version);
    int found = 0;
    for (int examined = 0; examined < MaxFramesExamined && kept.pos + headerSize <= end; ++examined) {
        const uchar *frame = window.at(kept.pos, headerSize);
        if (!frame)
            return false;
        if (frame[0] == 0)
            break; // padding
        const qint64 size = frameSize(frame, layout.version, layout.plainSizes);
        const qint64 next = kept.pos + headerSize + size;
        if (size < 0 || !isFrameId(frame, layout.version))
            return false;
        if (next > end) {
            if (!layout.cutEndsWalk)
                return false;
            kept.dropped = true;
            break;
        }
        const qint64 length = next - kept.pos;
        const int field = fieldOfFrame(frame, layout.version);
        if (isPictureFrame(frame, layout.version)) {
            kept.picture = true;
            if (readPicture && size <= LargestPicture) {
                const uchar *whole = window.at(kept.pos, length);
                if (!whole)
                    return false;
                if ((*readPicture)({QByteArrayView(whole, length), layout.version, layout.unsyncFrames}))
                    return true;
            }
        }
        if (field >= 0 && size <= LargestTextFrame && kept.bytes.size() - HeaderSize + length <= LargestKept) {
            const uchar *whole = window.at(kept.pos, length);
            if (!whole)
                return false;
            appendKeptFrame(kept.bytes, whole, size, layout, kept.rewritten);
            found |= 1 << field;
            kept.pos = next;
            if ((found & AllFields) == AllFields && !readPicture) {
                if (!frameStartsAt(window, layout, kept.pos, end))
                    return false;
                notePictureHeld(window, layout, kept.pos, end, kept);
                return true;
            }
        } else {
            kept.dropped = true;
            kept.pos = next;
        }
    }
    return true;
}

// Where the frames start: after the header, and after an extended header
// (its size counts itself in 2.4, not in 2.3); -1 when it runs past end.
qint64 framesStart(Window &window, int version, uchar flags, qint64 end)
{
    if (!(flags & ExtendedHeaderFlag) || version == 2)
        return HeaderSize;
    const uchar *b = window.at(HeaderSize, 4);
    if (!b)
        return -1;
    const qint64 size = version == 4 ? synchsafe(b) : 4 + ((qint64(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3]);
    return size < 4 || HeaderSize + size > end ? -1 : HeaderSize + size;
}

QByteArray framesOf(const ByteSource &source, QByteArrayView head, QByteArrayView header, bool &picture,
                    const PictureReader *readPicture)
{
    const auto *b = reinterpret_cast<const uchar *>(header.data());
    const uchar flags = b[5];
    const qint64 bodyEnd = HeaderSize + synchsafe(b + 6);
    const qint64 end = std::min(source.size(), bodyEnd);
    Window window(source, head);
    Layout layout;
    layout.version = b[3];
    layout.unsyncFrames = layout.version == 4 && (flags & UnsyncFlag);
    const qint64 start = framesStart(window, layout.version, flags, end);
    if (start < 0)
        return wholeTag(source, bodyEnd, flags);

    // The frames are kept in the thread's room of the last tag when the
    // tag read from it is no longer held (a scan's reader parses each tag
    // before it reads the next): most files then allocate nothing here.
    thread_local QByteArray room;
    KeptFrames kept{room};
    kept.bytes.reserve(HeaderSize + qsizetype(std::clamp<qint64>(end - start, 0, 1024))); // most tags' text frames whole
    kept.restart(start);
    bool walked = keepTextFrames(window, layout, end, kept, readPicture);
    // Some 2.4 writers stored plain sizes, not synchsafe ones: a walk by
    // those that lands on every frame decides.
    if (!walked && layout.version == 4) {
        layout.plainSizes = true;
        kept.restart(start);
        walked = keepTextFrames(window, layout, end, kept, readPicture);
    }
    // A frame cut off by the end of the tag, or of the part of it read:
    // the frames before it count, as other readers take them.
    if (!walked) {
        layout.plainSizes = false;
        layout.cutEndsWalk = true;
        kept.restart(start);
        walked = keepTextFrames(window, layout, end, kept, readPicture);
    }
    if (!walked)
        return wholeTag(source, bodyEnd, flags);
    picture = kept.picture;
    // A tag of wanted frames only, without padding, goes to the readers as
    // it is (it is no larger than the frames kept).
    const uchar plainFlags = flags & ~(UnsyncFlag | ExtendedHeaderFlag);
    if (!kept.dropped && !kept.rewritten && kept.pos >= end && plainFlags == flags)
        return wholeTag(source, bodyEnd, flags);
    std::array<char, HeaderSize> top = headerWithBody(header, kept.bytes.size() - HeaderSize);
    top[5] = char(plainFlags & ~FooterFlag);
    std::copy(top.begin(), top.end(), kept.bytes.data());
    if (room.capacity() > LargestRoomKept)
        return std::exchange(room, QByteArray());
    return room; // shared until the caller lets the tag go
}

// The text frames of the tag at the start of source, as collectTextFrames
// gives them, noting in picture whether it holds a picture frame, and
// handing its picture frames to readPicture when given.
QByteArray collect(const ByteSource &source, QByteArrayView head, bool &picture, const PictureReader *readPicture)
{
    picture = false;
    QByteArrayView header = head.first(std::min<qsizetype>(head.size(), HeaderSize));
    QByteArray read; // the header, when head does not hold it
    if (header.size() < HeaderSize) {
        if (!source.readAt(0, HeaderSize, read))
            return {};
        header = read;
    }
    if (tagSize(header) == 0)
        return {};
    const auto *b = reinterpret_cast<const uchar *>(header.constData());
    const int version = b[3];
    const uchar flags = b[5];
    const qint64 bodyEnd = HeaderSize + synchsafe(b + 6);
    // 2.2 compression, and versions past 2.4, no reader knows.
    if (version < 2 || version > 4 || (version == 2 && (flags & ExtendedHeaderFlag)))
        return wholeTag(source, bodyEnd, flags);
    if (!(flags & UnsyncFlag) || version == 4)
        return framesOf(source, head, header, picture, readPicture);

    // A 2.2 or 2.3 tag unsynchronised as a whole: its sizes count the bytes
    // as they were before, so the body is undone first.
    QByteArray body;
    const qint64 length = std::min(source.size(), bodyEnd) - HeaderSize;
    if (!source.readAt(HeaderSize, std::min(length, LargestUnsyncTag), body))
        return {};
    const QByteArray plainBody = resynchronised(body);
    std::array<char, HeaderSize> top = headerWithBody(header, plainBody.size());
    top[5] = char(flags & ~UnsyncFlag);
    QByteArray undone;
    undone.reserve(HeaderSize + plainBody.size());
    undone.append(top.data(), HeaderSize).append(plainBody);
    return framesOf(MemorySource(undone), undone, QByteArrayView(undone).first(HeaderSize), picture, readPicture);
}

} // namespace

namespace Id3v2 {

QByteArray collectTextFrames(const ByteSource &source, QByteArrayView head, bool *hasPicture)
{
    bool picture = false;
    QByteArray frames = collect(source, head, picture, nullptr);
    if (hasPicture)
        *hasPicture = picture;
    return frames;
}

void readPictureFrames(const ByteSource &source, QByteArrayView head,
                       const std::function<bool(const PictureFrame &)> &read)
{
    bool picture = false;
    collect(source, head, picture, &read);
}

} // namespace Id3v2
