#include "media/embeddedpicture.h"

#include "media/id3v2.h"
#include "media/id3v2collect.h"
#include "media/mediafile.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

// The text encodings of ID3v2: Latin-1, UTF-16 with a byte order mark,
// UTF-16 big-endian without one, UTF-8.
enum Encoding { Latin1, Utf16, Utf16BigEndian, Utf8 };

// Where the description that starts at from ends: at its terminator, one
// zero byte, or two on a two-byte boundary in UTF-16; -1 when none is left.
qsizetype terminatorAt(QByteArrayView data, qsizetype from, int encoding)
{
    if (encoding == Latin1 || encoding == Utf8)
        return data.indexOf('\0', from);
    for (qsizetype i = from; i + 1 < data.size(); i += 2)
        if (data[i] == 0 && data[i + 1] == 0)
            return i;
    return -1;
}

QString decoded(QByteArrayView text, int encoding)
{
    switch (encoding) {
    case Latin1:
        return QString::fromLatin1(text);
    case Utf8:
        return QString::fromUtf8(text);
    default: {
        // UTF-16 follows its byte order mark; without one it is read as
        // little-endian, as the text frames' readers take it.
        QStringDecoder decoder(encoding == Utf16BigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        if (encoding == Utf16 && text.size() >= 2 && uchar(text[0]) == 0xFE && uchar(text[1]) == 0xFF)
            decoder = QStringDecoder(QStringConverter::Utf16BE);
        return decoder.decode(text);
    }
    }
}

QByteArray mimeOfFormat(QByteArrayView format)
{
    const QByteArray lower = format.toByteArray().toLower();
    return "image/" + (lower == "jpg" ? QByteArray("jpeg") : lower);
}

// A source that ends where the tag does, so that no read of the walk's
// blocks runs into the audio.
class TagOnly final : public ByteSource
{
public:
    TagOnly(const ByteSource &file, qint64 end) : m_file(file), m_size(std::min(end, file.size())) {}
    qint64 size() const override { return m_size; }
    bool readAt(qint64 offset, qint64 count, QByteArray &out) const override
    {
        if (offset < 0 || count < 0)
            return false;
        return m_file.readAt(offset, std::max<qint64>(0, std::min(count, m_size - offset)), out);
    }

private:
    const ByteSource &m_file;
    qint64 m_size;
};

} // namespace

namespace EmbeddedPicture {

std::optional<Picture> parseFrame(QByteArrayView frame, int version, bool unsyncFrames)
{
    const int headerSize = Id3v2::frameHeaderSize(version);
    if (frame.size() < headerSize)
        return std::nullopt;
    QByteArray held;
    QByteArrayView data = frame.sliced(headerSize);
    if (version == 4)
        data = Id3v2::undoFrameFormat(data, uchar(frame[9]), unsyncFrames, held);
    // The encoding, then the format (three letters in 2.2, a MIME type
    // ending in a zero byte after), the type and the description.
    if (data.size() < 2)
        return std::nullopt;
    const int encoding = uchar(data[0]);
    if (encoding > Utf8)
        return std::nullopt;
    Picture picture;
    qsizetype at = 1;
    if (version == 2) {
        if (data.size() < at + 3)
            return std::nullopt;
        picture.mimeType = mimeOfFormat(data.sliced(at, 3));
        at += 3;
    } else {
        const qsizetype end = data.indexOf('\0', at);
        if (end < 0)
            return std::nullopt;
        picture.mimeType = data.sliced(at, end - at).toByteArray().toLower();
        at = end + 1;
    }
    if (at >= data.size())
        return std::nullopt;
    picture.type = uchar(data[at++]);
    const qsizetype end = terminatorAt(data, at, encoding);
    if (end < 0)
        return std::nullopt;
    picture.description = decoded(data.sliced(at, end - at), encoding);
    at = end + (encoding == Utf16 || encoding == Utf16BigEndian ? 2 : 1);
    if (at >= data.size())
        return std::nullopt; // a picture without bytes shows nothing
    picture.data = data.sliced(at).toByteArray();
    return picture;
}

std::optional<Picture> frontCover(const ByteSource &source, QByteArrayView head)
{
    QByteArray header = head.first(std::min<qsizetype>(head.size(), Id3v2::HeaderSize)).toByteArray();
    if (header.size() < Id3v2::HeaderSize && !source.readAt(0, Id3v2::HeaderSize, header))
        return std::nullopt;
    const qint64 tag = Id3v2::tagSize(header);
    if (tag == 0)
        return std::nullopt;
    const TagOnly tagOnly(source, tag);
    std::optional<Picture> first;
    std::optional<Picture> front;
    Id3v2::readPictureFrames(tagOnly, head.first(std::min<qsizetype>(head.size(), tag)),
                             [&](const Id3v2::PictureFrame &frame) {
                                 std::optional<Picture> picture =
                                     parseFrame(frame.frame, frame.version, frame.unsyncFrames);
                                 if (picture && picture->type == FrontCover)
                                     front = std::move(picture);
                                 else if (picture && !first)
                                     first = std::move(picture);
                                 return front.has_value();
                             });
    return front ? front : first;
}

std::optional<Picture> readFrontCover(const QByteArray &path)
{
    const MediaFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    return frontCover(file);
}

} // namespace EmbeddedPicture
