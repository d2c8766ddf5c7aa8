#include "media/frameheader.h"
#include "store/textblanks.h"

#include "media/id3v2.h"
#include "media/mediafile.h"

#include <array>
#include <cstring>

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

const BitrateRow *bitrateRow(const QString &version, const QString &layer)
{
    const bool layer1 = layer == QLatin1String("1");
    const bool layer2 = layer == QLatin1String("2");
    const bool layer3 = layer == QLatin1String("3");
    if (version == QLatin1String("1")) {
        if (layer1)
            return &Mpeg1Layer1;
        if (layer2)
            return &Mpeg1Layer2;
        if (layer3)
            return &Mpeg1Layer3;
    } else if (version == QLatin1String("2")) {
        if (layer1)
            return &Mpeg2Layer1;
        if (layer2 || layer3)
            return &Mpeg2Layer23;
    }
    return nullptr;
}

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
        if (isFrameHeader(bytes.sliced(pos, 4)))
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
    while (pos < end) {
        QByteArrayView view;
        if (pos + 4 <= head.size()) {
            view = head.sliced(pos);
        } else {
            if (!file.readAt(pos, blockSize, block) || block.isEmpty())
                return false;
            view = block;
            blockSize = std::min(blockSize * 2, LargestSearchBlock);
        }
        view = view.first(std::min<qint64>(view.size(), end - pos + 3));
        const qsizetype at = findFrameHeader(view);
        if (at >= 0)
            return found(view.sliced(at, 4));
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
    static constexpr std::array<std::array<int, 3>, 3> Rates = {{
        {44100, 48000, 32000}, // version 1
        {22050, 24000, 16000}, // version 2
        {11025, 12000, 8000},  // version 2.5
    }};
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
    return QString::number(Rates[size_t(row)][size_t(index)]);
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
