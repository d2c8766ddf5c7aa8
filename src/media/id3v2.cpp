#include "media/id3v2.h"
#include "store/textblanks.h"

#include "media/id3v1.h"
#include "media/id3v2text.h"
#include "media/mediafile.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <iterator>

#include <taglib/id3v1genres.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>

namespace {

// A TagLib file over bytes already in memory, so the tag is parsed from
// what the scan read instead of opening the file a second time.
class TagBytesFile : public TagLib::File
{
public:
    explicit TagBytesFile(TagLib::IOStream *stream) : TagLib::File(stream) {}
    TagLib::Tag *tag() const override { return nullptr; }
    TagLib::AudioProperties *audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

QString toQString(const TagLib::String &text)
{
    return QString::fromStdWString(text.toWString());
}

// Text made safe for the line-based list file: control characters and
// line breaks become blanks, then leading and trailing blanks go.
QString cleanText(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            c = u' ';
    }
    return trimBlanks(clean);
}

// The frame's values (several in ID3v2.4), or none when it is missing.
TagLib::StringList frameValues(const TagLib::ID3v2::Tag &tag, const char *id)
{
    const TagLib::ID3v2::FrameList frames = tag.frameListMap()[id];
    if (frames.isEmpty())
        return {};
    if (const auto *text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame *>(frames.front()))
        return text->fieldList();
    return TagLib::StringList(frames.front()->toString());
}

QString joined(const TagLib::StringList &values)
{
    QStringList parts;
    for (const TagLib::String &value : values) {
        const QString text = cleanText(toQString(value));
        if (!text.isEmpty())
            parts.append(text);
    }
    return parts.join(QStringLiteral(" / "));
}

quint32 bigEndian(const uchar *b, int length)
{
    quint32 value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | b[i];
    return value;
}

} // namespace

QString Id3v2::genreOfValue(const QString &value)
{
    static const QRegularExpression numbered(QStringLiteral("^\\s*\\((\\d{1,3})\\)(.*)$"));
    static const QRegularExpression plain(QStringLiteral("^\\s*(\\d{1,3})\\s*$"));
    QRegularExpressionMatch match = numbered.match(value);
    if (!match.hasMatch())
        match = plain.match(value);
    if (match.hasMatch()) {
        const QString name = Id3v1::genreName(match.captured(1).toInt());
        if (!name.isEmpty())
            return name;
        // A number past the table: keep any refinement text after it.
        return cleanText(match.lastCapturedIndex() >= 2 ? match.captured(2) : QString());
    }
    // TagLib reads "(67)Psychedelic" as the name alone, in its own
    // spelling; a name of the numbered list takes this table's spelling.
    const QString text = cleanText(value);
    const int number = TagLib::ID3v1::genreIndex(TagLib::String(text.toStdWString()));
    const QString name = Id3v1::genreName(number);
    return name.isEmpty() ? text : name;
}

namespace {

// The fields a frame gives, as bits; 0 for a frame the catalogue does not
// take. TagLib reads the year frames of versions 2.2 and 2.3 as the 2.4
// recording time, and the first year frame wins; in a 2.4 tag a TYER
// counts only while no TDRC follows.
enum FieldBit { Artist = 1, Title = 2, Album = 4, Genre = 8, Year = 16, LateYear = 32 };
constexpr int AllFields = Artist | Title | Album | Genre | Year;

int fieldsOfFrame(const uchar *id, int version)
{
    struct Wanted
    {
        const char *id;
        int field;
    };
    static constexpr Wanted Wanted22[] = {{"TP1", Artist}, {"TT2", Title}, {"TAL", Album}, {"TYE", Year}, {"TCO", Genre}};
    static constexpr Wanted Wanted34[] = {{"TPE1", Artist}, {"TIT2", Title}, {"TALB", Album},
                                          {"TYER", Year},   {"TDRC", Year},  {"TCON", Genre}};
    if (version == 2) {
        for (const Wanted &w : Wanted22)
            if (std::memcmp(id, w.id, 3) == 0)
                return w.field;
        return 0;
    }
    for (const Wanted &w : Wanted34)
        if (std::memcmp(id, w.id, 4) == 0)
            return version == 4 && w.id[1] == 'Y' ? LateYear : w.field;
    return 0;
}

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

} // namespace

namespace Id3v2 {

qint64 synchsafe(const uchar *b)
{
    if ((b[0] | b[1] | b[2] | b[3]) & 0x80)
        return -1;
    return (qint64(b[0]) << 21) | (qint64(b[1]) << 14) | (qint64(b[2]) << 7) | qint64(b[3]);
}

QByteArray collectTextFrames(const ByteSource &source, QByteArrayView head)
{
    Window window(source, head);
    const uchar *b = window.at(0, HeaderSize);
    if (!b)
        return {};
    const QByteArrayView headerView(b, HeaderSize);
    const qint64 tagBytes = tagSize(headerView);
    if (tagBytes == 0)
        return {};
    const QByteArray header = headerView.toByteArray();
    const int version = b[3];
    const uchar flags = b[5];
    const qint64 bodyEnd = HeaderSize + synchsafe(b + 6);
    // The header and body, without a footer (nor its flag): the header's
    // size leaves the footer out, and the readers then take the frames up
    // to that size.
    const auto wholeTag = [&] {
        QByteArray whole;
        const qint64 available = std::min(bodyEnd, source.size());
        if (available > LargestWholeTag || !source.readAt(0, available, whole))
            return QByteArray();
        if (whole.size() > 5)
            whole[5] = char(flags & ~0x10);
        return whole;
    };
    if (version < 2 || version > 4 || (flags & 0xC0))
        return wholeTag();

    const int frameHeaderSize = version == 2 ? 6 : 10;
    const qint64 end = std::min(source.size(), bodyEnd);
    QByteArray kept;
    bool dropped = false;
    int found = 0;
    qint64 pos = HeaderSize;
    for (int examined = 0; examined < MaxFramesExamined && pos + frameHeaderSize <= end; ++examined) {
        const uchar *frame = window.at(pos, frameHeaderSize);
        if (!frame)
            return wholeTag();
        if (frame[0] == 0)
            break; // padding
        qint64 size;
        if (version == 2)
            size = bigEndian(frame + 3, 3);
        else if (version == 3)
            size = bigEndian(frame + 4, 4);
        else if ((size = synchsafe(frame + 4)) < 0)
            return wholeTag(); // not synchsafe: leave the guessing to TagLib
        const qint64 next = pos + frameHeaderSize + size;
        if (next > end)
            return wholeTag();
        const int fields = fieldsOfFrame(frame, version);
        if (fields != 0 && size <= LargestTextFrame && kept.size() + (next - pos) <= LargestKept) {
            const uchar *whole = window.at(pos, next - pos);
            if (!whole)
                return wholeTag();
            kept.append(reinterpret_cast<const char *>(whole), qsizetype(next - pos));
            found |= fields;
            if ((found & AllFields) == AllFields) {
                pos = next;
                break;
            }
        } else {
            dropped = true;
        }
        pos = next;
    }
    // A tag of wanted frames only, without padding, goes to TagLib as it is
    // (it is no larger than the frames kept).
    if (!dropped && pos >= end)
        return wholeTag();
    QByteArray out = header;
    out[5] = char(flags & ~0x10); // no footer in the copy
    qint64 size = kept.size();
    for (int i = 9; i >= 6; --i) {
        out[i] = char(size & 0x7F);
        size >>= 7;
    }
    return out + kept;
}

qint64 tagSize(QByteArrayView bytes)
{
    if (bytes.size() < HeaderSize || !bytes.startsWith("ID3"))
        return 0;
    const auto *b = reinterpret_cast<const uchar *>(bytes.data());
    // Version and revision are never 0xFF; the size is synchsafe (seven
    // bits per byte, so no byte has its top bit set).
    const qint64 body = synchsafe(b + 6);
    if (b[3] == 0xFF || b[4] == 0xFF || body < 0)
        return 0;
    const bool footer = b[3] >= 4 && (b[5] & 0x10);
    return HeaderSize + body + (footer ? HeaderSize : 0);
}

TrackTags readTags(QByteArrayView bytes)
{
    return readTextTag(collectTextFrames(MemorySource(bytes), bytes));
}

TrackTags readTextTag(QByteArrayView parsed)
{
    TrackTagsUtf8 own;
    if (readCommonTextTag(parsed, own))
        return own.toTags();
    return readTextTagWithTagLib(parsed);
}

TrackTagsUtf8 readTextTagUtf8(QByteArrayView parsed)
{
    TrackTagsUtf8 own;
    if (readCommonTextTag(parsed, own))
        return own;
    return TrackTagsUtf8::fromTags(readTextTagWithTagLib(parsed));
}

TrackTags readTextTagWithTagLib(QByteArrayView parsed)
{
    TrackTags tags;
    if (tagSize(parsed) == 0)
        return tags;
    // TagLib takes the footer's ten bytes off the header's size, which
    // already leaves them out, and so loses the last frame before a
    // footer: it reads a copy without the footer flag (any version, as it
    // honours the flag in 2.2 and 2.3 too).
    QByteArray unfooted;
    if (parsed[5] & 0x10) {
        const qint64 bodyEnd = HeaderSize + synchsafe(reinterpret_cast<const uchar *>(parsed.data()) + 6);
        unfooted = parsed.first(qsizetype(std::min<qint64>(parsed.size(), bodyEnd))).toByteArray();
        unfooted[5] = char(parsed[5] & ~0x10);
        parsed = unfooted;
    }
    TagLib::ByteVectorStream stream(TagLib::ByteVector(parsed.data(), unsigned(parsed.size())));
    TagBytesFile file(&stream);
    const TagLib::ID3v2::Tag tag(&file, 0);
    if (tag.isEmpty())
        return tags;

    tags.artist = joined(frameValues(tag, "TPE1"));
    tags.track = joined(frameValues(tag, "TIT2"));
    tags.album = joined(frameValues(tag, "TALB"));

    // TagLib reads the year of version 2.2 and 2.3 tags (TYE, TYER) as the
    // 2.4 recording time TDRC; a timestamp begins with the year.
    TagLib::StringList year = frameValues(tag, "TDRC");
    if (year.isEmpty())
        year = frameValues(tag, "TYER");
    if (!year.isEmpty())
        tags.year = cleanText(toQString(year.front()).left(4));

    QStringList genres;
    for (const TagLib::String &value : frameValues(tag, "TCON")) {
        const QString genre = genreOfValue(toQString(value));
        if (!genre.isEmpty() && !genres.contains(genre))
            genres.append(genre);
    }
    tags.genre = genres.join(QStringLiteral(" / "));
    return tags;
}

} // namespace Id3v2
