#include "media/id3v2.h"
#include "store/textblanks.h"

#include "media/id3v1.h"

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
        const QString text = Id3v2::cleanText(toQString(value));
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

// The frames the catalogue takes: artist, title, album, year, genre (the
// three-letter names of version 2.2 first).
bool isWantedFrame(const uchar *id, int version)
{
    static constexpr const char *Wanted22[] = {"TP1", "TT2", "TAL", "TYE", "TCO"};
    static constexpr const char *Wanted[] = {"TPE1", "TIT2", "TALB", "TYER", "TDRC", "TCON"};
    if (version == 2)
        return std::any_of(std::begin(Wanted22), std::end(Wanted22),
                           [id](const char *w) { return std::memcmp(id, w, 3) == 0; });
    return std::any_of(std::begin(Wanted), std::end(Wanted), [id](const char *w) { return std::memcmp(id, w, 4) == 0; });
}

// The tag with only the frames the catalogue takes and no padding, so that
// TagLib does not copy and parse pictures, comments and the like. Returns
// an empty array when the tag is to be read as it is: its frames cannot be
// walked safely (unsynchronised, extended header) or nothing would go.
QByteArray textFramesOnly(QByteArrayView tag)
{
    const auto *b = reinterpret_cast<const uchar *>(tag.data());
    const int version = b[3];
    const uchar flags = b[5];
    const QByteArray asIs; // empty: parse the tag as it is
    if (version < 2 || version > 4 || (flags & 0xC0))
        return asIs;
    const int headerSize = version == 2 ? 6 : 10;
    const qint64 end = std::min<qint64>(tag.size(), Id3v2::HeaderSize + ((qint64(b[6]) << 21) | (qint64(b[7]) << 14)
                                                                       | (qint64(b[8]) << 7) | qint64(b[9])));
    QByteArray kept;
    bool dropped = false;
    qint64 pos = Id3v2::HeaderSize;
    while (pos + headerSize <= end && b[pos] != 0) {
        const uchar *frame = b + pos;
        qint64 size;
        if (version == 2) {
            size = bigEndian(frame + 3, 3);
        } else if (version == 3) {
            size = bigEndian(frame + 4, 4);
        } else {
            if ((frame[4] | frame[5] | frame[6] | frame[7]) & 0x80)
                return asIs; // not synchsafe: leave the guessing to TagLib
            size = (qint64(frame[4]) << 21) | (qint64(frame[5]) << 14) | (qint64(frame[6]) << 7) | qint64(frame[7]);
        }
        const qint64 next = pos + headerSize + size;
        if (next > end)
            return asIs;
        if (isWantedFrame(frame, version))
            kept.append(reinterpret_cast<const char *>(frame), qsizetype(next - pos));
        else
            dropped = true;
        pos = next;
    }
    if (!dropped && pos >= end)
        return asIs;
    QByteArray header = tag.first(Id3v2::HeaderSize).toByteArray();
    header[5] = char(flags & ~0x10); // no footer in the copy
    qint64 size = kept.size();
    for (int i = 9; i >= 6; --i) {
        header[i] = char(size & 0x7F);
        size >>= 7;
    }
    return header + kept;
}

} // namespace

namespace Id3v2 {

qint64 tagSize(QByteArrayView bytes)
{
    if (bytes.size() < HeaderSize || !bytes.startsWith("ID3"))
        return 0;
    const auto *b = reinterpret_cast<const uchar *>(bytes.data());
    // Version and revision are never 0xFF; the size is synchsafe (seven
    // bits per byte, so no byte has its top bit set).
    if (b[3] == 0xFF || b[4] == 0xFF || (b[6] | b[7] | b[8] | b[9]) & 0x80)
        return 0;
    const qint64 body = (qint64(b[6]) << 21) | (qint64(b[7]) << 14) | (qint64(b[8]) << 7) | qint64(b[9]);
    const bool footer = b[3] >= 4 && (b[5] & 0x10);
    return HeaderSize + body + (footer ? HeaderSize : 0);
}

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

QString genreOfValue(const QString &value)
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

TrackTags readTags(QByteArrayView bytes)
{
    TrackTags tags;
    if (tagSize(bytes) == 0)
        return tags;
    const QByteArrayView whole = bytes.first(std::min<qint64>(bytes.size(), tagSize(bytes)));
    const QByteArray textTag = textFramesOnly(whole);
    const QByteArrayView parsed = textTag.isEmpty() ? whole : QByteArrayView(textTag);
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
