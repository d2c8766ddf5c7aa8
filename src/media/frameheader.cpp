#include "media/frameheader.h"
#include "store/textblanks.h"

#include "media/id3v2.h"
#include "media/mediafile.h"

#include <array>
#include <cstring>
#include <utility>

namespace {

// Reads after the head: small first, since the frame usually starts right
// after the tag, then larger while junk or padding goes on.
constexpr qint64 FirstSearchBlock = 8 * 1024;
constexpr qint64 LargestSearchBlock = 256 * 1024;
// A file may begin with more than one tag; a few are skipped, not more.
constexpr int MaxLeadingTags = 4;

// kbit/s by bitrate index 1..14 (index 0 is free format, 15 is invalid).
using BitrateRow = std::array<int, 15>;
constexpr BitrateRow Mpeg1Layer1 = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr BitrateRow Mpeg1Layer2 = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr BitrateRow Mpeg1Layer3 = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr BitrateRow Mpeg2Layer1 = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr BitrateRow Mpeg2Layer23 = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

// The row of MPEG 1 (mpeg1) or MPEG 2 and 2.5 for layer 1..3.
const BitrateRow &bitrateRow(bool mpeg1, int layer)
{
    if (mpeg1)
        return layer == 1 ? Mpeg1Layer1 : layer == 2 ? Mpeg1Layer2 : Mpeg1Layer3;
    return layer == 1 ? Mpeg2Layer1 : Mpeg2Layer23;
}

// The row of a version's and layer's texts ("1", "2"; "1".."3").
const BitrateRow *bitrateRow(const QString &version, const QString &layer)
{
    const bool known = layer == QLatin1String("1") || layer == QLatin1String("2") || layer == QLatin1String("3");
    if (!known || (version != QLatin1String("1") && version != QLatin1String("2")))
        return nullptr;
    return &bitrateRow(version == QLatin1String("1"), layer.toInt());
}

// Samples per second by version (1, 2, 2.5) and rate index 0..2.
constexpr std::array<std::array<int, 3>, 3> SampleRates = {{
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
}};

// The value of a text of "0"/"1" characters of the given length; -1 when
// it is anything else.
int bitsValue(const QString &bits, int length)
{
    if (bits.size() != length)
        return -1;
    int value = 0;
    for (QChar c : bits) {
        if (c != u'0' && c != u'1')
            return -1;
        value = value * 2 + (c == u'1');
    }
    return value;
}

// Where the audio starts: after every ID3v2 tag at the start of the file.
qint64 audioStart(const ByteSource &file, QByteArrayView head)
{
    qint64 start = 0;
    QByteArray header;
    for (int i = 0; i < MaxLeadingTags && start < file.size(); ++i) {
        QByteArrayView view;
        if (start + Id3v2::HeaderSize <= head.size()) {
            view = head.sliced(start, Id3v2::HeaderSize);
        } else {
            if (!file.readAt(start, Id3v2::HeaderSize, header))
                return -1;
            view = header;
        }
        const qint64 size = Id3v2::tagSize(view);
        if (size == 0)
            break;
        start += size;
    }
    return start;
}

} // namespace

namespace FrameHeader {

namespace {

// A free-format frame's length is only known from where the next one
// starts; none is longer than this (640 kbit/s at 32 kHz in layer III).
constexpr qsizetype LongestFreeFrame = 2881;

// True when a tag at the end of a file (ID3v1, APE, Lyrics3) may start at
// the start of bytes: its first four bytes at most, the next header's
// place, are looked at.
bool startsEndTag(QByteArrayView bytes)
{
    return bytes.startsWith("TAG") || bytes.startsWith("APET") || bytes.startsWith("LYRI");
}

// True when the next frame follows the header at pos where the header's
// length says (or the file's tags at its end do), or when bytes end before
// that could be seen.
bool isFollowed(QByteArrayView bytes, qsizetype pos)
{
    const Frame frame = *decodeFrame(bytes.sliced(pos, 4));
    const QByteArrayView header = bytes.sliced(pos, 4);
    if (frame.kbps > 0) {
        const qsizetype next = pos + frame.bytes();
        return next + 4 > bytes.size() || sameStream(header, bytes.sliced(next, 4)) || startsEndTag(bytes.sliced(next));
    }
    // Free format: the next header of the same stream in free format too.
    const qsizetype end = std::min(bytes.size(), pos + followBytes(frame));
    for (qsizetype next = pos + 4; next + 4 <= end; ++next) {
        if (sameStream(header, bytes.sliced(next, 4)) && (uchar(bytes[next + 2]) >> 4) == 0)
            return true;
    }
    return end < pos + followBytes(frame);
}

} // namespace

bool isFrameHeader(QByteArrayView fourBytes)
{
    if (fourBytes.size() < 4)
        return false;
    const auto *b = reinterpret_cast<const uchar *>(fourBytes.data());
    return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 // frame sync
           && ((b[1] >> 3) & 3) != 1             // reserved version
           && ((b[1] >> 1) & 3) != 0             // reserved layer
           && (b[2] >> 4) != 15                  // invalid bitrate
           && ((b[2] >> 2) & 3) != 3;            // reserved sample rate
}

std::optional<Frame> decodeFrame(QByteArrayView fourBytes)
{
    if (!isFrameHeader(fourBytes))
        return std::nullopt;
    const auto *b = reinterpret_cast<const uchar *>(fourBytes.data());
    const int version = (b[1] >> 3) & 3; // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
    Frame frame;
    frame.mpeg1 = version == 3;
    frame.layer = 4 - ((b[1] >> 1) & 3);
    frame.kbps = bitrateRow(frame.mpeg1, frame.layer)[size_t(b[2] >> 4)];
    frame.rate = SampleRates[size_t(version == 3 ? 0 : version == 2 ? 1 : 2)][size_t((b[2] >> 2) & 3)];
    frame.padded = b[2] & 2;
    frame.mono = (b[3] >> 6) == 3;
    return frame;
}

bool sameStream(QByteArrayView first, QByteArrayView next)
{
    // The sync, version and layer, and the sample rate; the protection bit,
    // bitrate, padding and channel mode may change from frame to frame.
    return isFrameHeader(next) && (first[1] & 0xFE) == (next[1] & 0xFE) && (first[2] & 0x0C) == (next[2] & 0x0C);
}

qsizetype followBytes(const Frame &frame)
{
    return (frame.kbps > 0 ? frame.bytes() : LongestFreeFrame) + 4;
}

qsizetype findFrameHeader(QByteArrayView bytes, qsizetype from)
{
    const char *data = bytes.data();
    const qsizetype last = bytes.size() - 4; // the last position a header fits
    qsizetype pos = std::max<qsizetype>(from, 0);
    while (pos <= last) {
        const void *hit = std::memchr(data + pos, 0xFF, size_t(last - pos + 1));
        if (!hit)
            return -1;
        pos = static_cast<const char *>(hit) - data;
        if (isFrameHeader(bytes.sliced(pos, 4)) && isFollowed(bytes, pos))
            return pos;
        ++pos;
    }
    return -1;
}

QByteArray bitsTextUtf8(QByteArrayView fourBytes)
{
    QByteArray text(36, ' ');
    char *out = text.data();
    for (int i = 0; i < 4; ++i, ++out) {
        const uchar byte = uchar(fourBytes[i]);
        for (int bit = 7; bit >= 0; --bit)
            *out++ = (byte >> bit) & 1 ? '1' : '0';
    }
    return text;
}

bool headerBytesOfFile(const ByteSource &file, QByteArrayView head, std::array<char, 4> &header)
{
    const auto found = [&](QByteArrayView four) {
        std::memcpy(header.data(), four.data(), 4);
        return true;
    };
    const qint64 start = audioStart(file, head);
    if (start < 0 || start >= file.size())
        return false;
    // Header positions searched: start up to (not including) end.
    const qint64 end = std::min(file.size(), start + SearchBound);
    QByteArray block;
    qint64 blockSize = FirstSearchBlock;
    qint64 pos = start;
    bool readAtPos = false; // read a block at pos even when the head holds it
    while (pos < end) {
        QByteArrayView view;
        if (pos + 4 <= head.size() && !readAtPos) {
            view = head.sliced(pos);
        } else {
            if (!file.readAt(pos, blockSize, block) || block.isEmpty())
                return false;
            view = block;
            blockSize = std::min(blockSize * 2, LargestSearchBlock);
        }
        const bool reread = std::exchange(readAtPos, false);
        const qsizetype at = findFrameHeader(view);
        if (at >= 0 && at < end - pos) {
            // A header whose next frame the view ends before is looked at
            // again from a read that holds it, unless the file ends there.
            const bool seen = at + followBytes(*decodeFrame(view.sliced(at, 4))) <= view.size();
            if (seen || (reread && at == 0) || pos + view.size() >= file.size())
                return found(view.sliced(at, 4));
            pos += at;
            readAtPos = true;
            continue;
        }
        if (pos + view.size() >= end)
            break;
        // The last three bytes may begin a header that the next read ends.
        pos += std::max<qint64>(1, view.size() - 3);
    }
    return false;
}

QString bitrateText(const QString &version, const QString &layer, const QString &indexBits)
{
    if (indexBits == QLatin1String("0000"))
        return QStringLiteral("Free");
    const BitrateRow *row = bitrateRow(version, layer);
    const int index = bitsValue(indexBits, 4);
    if (!row || index < 0)
        return {};
    if (index == 15)
        return QStringLiteral("?");
    return QString::number((*row)[size_t(index)]);
}

QString sampleRateText(const QString &version, const QString &rateBits)
{
    int row;
    if (version == QLatin1String("1"))
        row = 0;
    else if (version == QLatin1String("2"))
        row = 1;
    else if (version == QLatin1String("2.5"))
        row = 2;
    else
        return {};
    const int index = bitsValue(rateBits, 2);
    if (index < 0 || index > 2)
        return {};
    return QString::number(SampleRates[size_t(row)][size_t(index)]);
}

QString channelModeText(const QString &modeBits)
{
    switch (bitsValue(modeBits, 2)) {
    case 0:
        return QStringLiteral("Stereo");
    case 1:
        return QStringLiteral("Joint stereo (Stereo)");
    case 2:
        return QStringLiteral("Dual channel (Stereo)");
    case 3:
        return QStringLiteral("Single channel (Mono)");
    default:
        return {};
    }
}

QString describeFrameHeader(const QString &audioheader)
{
    // Trim blanks only, then cut by 1-based position; a cut past the end
    // is short or empty and matches nothing.
    const QString text = trimBlanks(audioheader);
    const auto at = [&text](int position, int length) { return text.mid(position - 1, length); };

    QString line;
    QString bitrateVersion;
    QString rateVersion;
    const QString version = at(13, 2);
    if (version == QLatin1String("00")) {
        line += QStringLiteral("MPEG Version 2.5 : ");
        bitrateVersion = QStringLiteral("2");
        rateVersion = QStringLiteral("2.5");
    } else if (version == QLatin1String("10")) {
        line += QStringLiteral("MPEG Version 2 (ISO/IEC 13818-3) : ");
        bitrateVersion = rateVersion = QStringLiteral("2");
    } else if (version == QLatin1String("11")) {
        line += QStringLiteral("MPEG Version 1 (ISO/IEC 11172-3)  : ");
        bitrateVersion = rateVersion = QStringLiteral("1");
    }

    QString layer;
    const QString layerBits = at(15, 2);
    if (layerBits == QLatin1String("01"))
        layer = QStringLiteral("3");
    else if (layerBits == QLatin1String("10"))
        layer = QStringLiteral("2");
    else if (layerBits == QLatin1String("11"))
        layer = QStringLiteral("1");
    if (!layer.isEmpty())
        line += QStringLiteral("Layer ") + layer + QStringLiteral(" : ");

    line += bitrateText(bitrateVersion, layer, at(19, 4)) + QStringLiteral(" kbps : ");
    line += sampleRateText(rateVersion, at(23, 2)) + QStringLiteral("khz : ");
    line += channelModeText(at(28, 2));
    return line;
}

} // namespace FrameHeader
