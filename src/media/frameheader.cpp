#include "media/frameheader.h"

#include "base/textblanks.h"

#include "media/id3v2.h"
#include "media/mediafile.h"

#include <QScopeGuard>
#include <QtEndian>

#include <algorithm>
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

// Samples per second by version (1, 2, 2.5) and rate index 0..2.
constexpr std::array<std::array<int, 3>, 3> SampleRates = {{
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
}};

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
        if (sameStream(header, bytes.sliced(next, 4)) && decodeFrame(bytes.sliced(next, 4))->bitrateIndex == 0)
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

Frame fieldsOf(quint32 bits)
{
    const auto at = [bits](int shift, quint32 mask) { return int((bits >> shift) & mask); };
    Frame frame;
    frame.version = Version(at(19, 3));
    frame.layer = (4 - at(17, 3)) & 3; // bits 01: layer 3 .. 11: layer 1; 00 reserved
    frame.crc = !at(16, 1);            // the bit is clear when a CRC follows
    frame.bitrateIndex = at(12, 15);
    frame.rateIndex = at(10, 3);
    frame.padded = at(9, 1);
    frame.privateBit = at(8, 1);
    frame.channels = ChannelMode(at(6, 3));
    frame.modeExtension = at(4, 3);
    frame.copyright = at(3, 1);
    frame.original = at(2, 1);
    frame.emphasis = Emphasis(at(0, 3));
    if (frame.version != Version::Reserved) {
        if (frame.layer != 0 && frame.bitrateIndex != 15)
            frame.kbps = bitrateRow(frame.mpeg1(), frame.layer)[size_t(frame.bitrateIndex)];
        const size_t row = frame.mpeg1() ? 0 : frame.version == Version::Mpeg2 ? 1 : 2;
        if (frame.rateIndex != 3)
            frame.rate = SampleRates[row][size_t(frame.rateIndex)];
    }
    return frame;
}

std::optional<Frame> decodeFrame(QByteArrayView fourBytes)
{
    if (!isFrameHeader(fourBytes))
        return std::nullopt;
    return fieldsOf(qFromBigEndian<quint32>(fourBytes.data()));
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
    QByteArray text;
    bitsTextUtf8(fourBytes, text);
    return text;
}

void bitsTextUtf8(QByteArrayView fourBytes, QByteArray &text)
{
    // Four bits at a time: a scan writes this for every file.
    static constexpr std::array<std::array<char, 4>, 16> Nibbles = [] {
        std::array<std::array<char, 4>, 16> nibbles{};
        for (int n = 0; n < 16; ++n)
            for (int bit = 0; bit < 4; ++bit)
                nibbles[size_t(n)][size_t(bit)] = (n >> (3 - bit)) & 1 ? '1' : '0';
        return nibbles;
    }();
    text.resize(36);
    char *out = text.data();
    for (int i = 0; i < 4; ++i) {
        const uchar byte = uchar(fourBytes[i]);
        out = std::copy_n(Nibbles[byte >> 4].data(), 4, out);
        out = std::copy_n(Nibbles[byte & 0xF].data(), 4, out);
        *out++ = ' ';
    }
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
    // Each reading thread's own, so a file's search allocates nothing; one
    // grown for a long search is let go after it.
    thread_local QByteArray block;
    const auto release = qScopeGuard([] {
        if (block.capacity() > 2 * FirstSearchBlock)
            block = QByteArray();
    });
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

StoredHeader storedHeader(const QString &audioheader)
{
    // Bit i of byte b stands at b * 9 + i: groups of eight, a blank after each.
    const QString text = trimBlanks(audioheader);
    StoredHeader header;
    for (int bit = 0; bit < 32; ++bit) {
        const qsizetype at = bit / 8 * 9 + bit % 8;
        const QChar c = at < text.size() ? text[at] : QChar();
        if (c == u'0' || c == u'1') {
            header.known |= 0x80000000u >> bit;
            header.bits |= c == u'1' ? 0x80000000u >> bit : 0;
        }
    }
    return header;
}

QString describeFrameHeader(const StoredHeader &header)
{
    const auto known = [&header](int shift, quint32 mask) { return (header.known >> shift & mask) == mask; };
    const Frame frame = fieldsOf(header.bits);
    const bool hasVersion = known(19, 3) && frame.version != Version::Reserved;
    const bool hasLayer = known(17, 3) && frame.layer != 0;
    const bool hasIndex = known(12, 15);

    QString line;
    if (hasVersion) {
        static const char *const names[] = {"MPEG Version 2.5 : ", "", "MPEG Version 2 (ISO/IEC 13818-3) : ",
                                            "MPEG Version 1 (ISO/IEC 11172-3)  : "};
        line += QLatin1String(names[int(frame.version)]);
    }
    if (hasLayer)
        line += QStringLiteral("Layer ") + QString::number(frame.layer) + QStringLiteral(" : ");
    if (hasIndex && frame.bitrateIndex == 0)
        line += QStringLiteral("Free");
    else if (hasIndex && hasVersion && hasLayer)
        line += frame.bitrateIndex == 15 ? QStringLiteral("?") : QString::number(frame.kbps);
    line += QStringLiteral(" kbps : ");
    if (hasVersion && known(10, 3) && frame.rate > 0)
        line += QString::number(frame.rate);
    line += QStringLiteral("khz : ");
    if (known(6, 3)) {
        static const char *const modes[] = {"Stereo", "Joint stereo (Stereo)", "Dual channel (Stereo)",
                                            "Single channel (Mono)"};
        line += QLatin1String(modes[int(frame.channels)]);
    }
    return line;
}

QString describeFrameHeader(const QString &audioheader)
{
    return describeFrameHeader(storedHeader(audioheader));
}

} // namespace FrameHeader
