#include "media/id3v2collect.h"

#include "media/id3v2.h"
#include "media/mediafile.h"

#include <algorithm>

namespace {

using namespace Id3v2;

// Frames looked at in one tag: far more than any real tag holds, few
// enough that a tag of millions of tiny frames costs no time.
constexpr int MaxFramesExamined = 10000;
// A wanted frame larger than this holds no title or name and is passed over.
constexpr qint64 LargestTextFrame = 256 * 1024;
// Tags whose frames cannot be walked one by one (unsynchronised as a
// whole, an extended header, sizes that do not add up) are read whole for
// TagLib, up to this size; larger ones give no fields.
constexpr qint64 LargestWholeTag = 1024 * 1024;
// The kept frames of one tag stop growing past this.
constexpr qint64 LargestKept = 1024 * 1024;
// Bytes read at once while walking frame headers.
constexpr qint64 WindowSize = 64 * 1024;
// Every field but the late year: once these are found the rest is not read.
constexpr int AllFields = (1 << Artist) | (1 << Title) | (1 << Album) | (1 << Genre) | (1 << Year);

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

// The wanted frames of a tag of version 2 to 4 whose frames end at end.
struct KeptFrames
{
    QByteArray bytes;
    bool dropped = false; // a frame was passed over
    qint64 pos = HeaderSize; // where the walk stopped
};

// Walks the frames from pos, keeping the wanted ones; false when the tag
// must be read whole (a read failure, a size that is not synchsafe or
// runs past the tag).
bool keepTextFrames(Window &window, int version, qint64 end, KeptFrames &kept)
{
    const int headerSize = frameHeaderSize(version);
    int found = 0;
    for (int examined = 0; examined < MaxFramesExamined && kept.pos + headerSize <= end; ++examined) {
        const uchar *frame = window.at(kept.pos, headerSize);
        if (!frame)
            return false;
        if (frame[0] == 0)
            break; // padding
        // A 2.4 size that is not synchsafe: leave the guessing to TagLib.
        const qint64 size = frameSize(frame, version);
        const qint64 next = kept.pos + headerSize + size;
        if (size < 0 || next > end)
            return false;
        const qint64 length = next - kept.pos;
        const int field = fieldOfFrame(frame, version);
        if (field >= 0 && size <= LargestTextFrame && kept.bytes.size() + length <= LargestKept) {
            const uchar *whole = window.at(kept.pos, length);
            if (!whole)
                return false;
            kept.bytes.append(reinterpret_cast<const char *>(whole), qsizetype(length));
            found |= 1 << field;
            kept.pos = next;
            if ((found & AllFields) == AllFields)
                break;
        } else {
            kept.dropped = true;
            kept.pos = next;
        }
    }
    return true;
}

} // namespace

namespace Id3v2 {

QByteArray collectTextFrames(const ByteSource &source, QByteArrayView head)
{
    Window window(source, head);
    const uchar *b = window.at(0, HeaderSize);
    if (!b)
        return {};
    const QByteArrayView headerView(b, HeaderSize);
    if (tagSize(headerView) == 0)
        return {};
    const QByteArray header = headerView.toByteArray();
    const int version = b[3];
    const uchar flags = b[5];
    const qint64 bodyEnd = HeaderSize + synchsafe(b + 6);
    if (version < 2 || version > 4 || (flags & 0xC0))
        return wholeTag(source, bodyEnd, flags);

    const qint64 end = std::min(source.size(), bodyEnd);
    KeptFrames kept;
    if (!keepTextFrames(window, version, end, kept))
        return wholeTag(source, bodyEnd, flags);
    // A tag of wanted frames only, without padding, goes to TagLib as it is
    // (it is no larger than the frames kept).
    if (!kept.dropped && kept.pos >= end)
        return wholeTag(source, bodyEnd, flags);
    return headerWithBody(header, kept.bytes.size()) + kept.bytes;
}

} // namespace Id3v2
