#include "media/id3v2.h"

#include <array>
#include <cstring>

namespace {

quint32 bigEndian(const uchar *b, int length)
{
    quint32 value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | b[i];
    return value;
}

// Calls each(value, last) for the values of a UTF-16 text frame's data
// (after its encoding byte), split at their two-byte terminators.
template <typename Each>
void forEachUtf16Value(QByteArrayView data, Each each)
{
    for (qsizetype start = 1, i = 1;; i += 2) {
        const bool atEnd = i + 2 > data.size(); // no whole code unit left
        if (!atEnd && (data[i] != 0 || data[i + 1] != 0))
            continue;
        each(data.sliced(start, (atEnd ? data.size() : i) - start), atEnd);
        if (atEnd)
            return;
        start = i + 2;
    }
}

bool unmarked(QByteArrayView value)
{
    return !value.isEmpty()
           && !(value.size() >= 2
                && ((uchar(value[0]) == 0xFF && uchar(value[1]) == 0xFE)
                    || (uchar(value[0]) == 0xFE && uchar(value[1]) == 0xFF)));
}

} // namespace

namespace Id3v2 {

qint64 synchsafe(const uchar *b)
{
    if ((b[0] | b[1] | b[2] | b[3]) & 0x80)
        return -1;
    return (qint64(b[0]) << 21) | (qint64(b[1]) << 14) | (qint64(b[2]) << 7) | qint64(b[3]);
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
    const bool footer = b[3] >= 4 && (b[5] & FooterFlag);
    return HeaderSize + body + (footer ? HeaderSize : 0);
}

std::array<char, HeaderSize> headerWithBody(QByteArrayView header, qint64 bodySize)
{
    std::array<char, HeaderSize> out;
    std::copy_n(header.data(), HeaderSize, out.begin());
    out[5] = char(out[5] & ~FooterFlag);
    for (int i = 9; i >= 6; --i) {
        out[i] = char(bodySize & 0x7F);
        bodySize >>= 7;
    }
    return out;
}

QByteArray resynchronised(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out.append(bytes[i]);
        if (uchar(bytes[i]) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0)
            ++i;
    }
    return out;
}

qint64 frameSize(const uchar *frame, int version, bool plainSizes)
{
    if (version == 2)
        return bigEndian(frame + 3, 3);
    if (version == 3 || plainSizes)
        return bigEndian(frame + 4, 4);
    return synchsafe(frame + 4);
}

bool isFrameId(const uchar *id, int version)
{
    for (int i = 0; i < frameIdSize(version); ++i)
        if (!((id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9')))
            return false;
    return true;
}

bool isPictureFrame(const uchar *frame, int version)
{
    if (version == 2)
        return std::memcmp(frame, "PIC", 3) == 0;
    // Compression and encryption: 0x80 and 0x40 in 2.3, 0x08 and 0x04 in 2.4.
    const uchar unreadable = version == 3 ? 0xC0 : FrameCompressedFlag | FrameEncryptedFlag;
    return std::memcmp(frame, "APIC", 4) == 0 && !(frame[9] & unreadable);
}

QByteArrayView undoFrameFormat(QByteArrayView data, uchar flags, bool unsyncFrames, QByteArray &held)
{
    if ((flags & FrameUnsyncFlag) || unsyncFrames)
        data = held = resynchronised(data);
    if ((flags & DataLengthFlag) && data.size() >= 4)
        data = data.sliced(4);
    return data;
}

namespace {

// The track and disc number frames: TRK and TPA in 2.2, TRCK and TPOS after.
int numberFieldOf(const uchar *id, int version)
{
    const bool two = version == 2;
    if (std::memcmp(id, two ? "TRK" : "TRCK", two ? 3 : 4) == 0)
        return TrackNumber;
    if (std::memcmp(id, two ? "TPA" : "TPOS", two ? 3 : 4) == 0)
        return DiscNumber;
    return -1;
}

} // namespace

int fieldOfFrame(const uchar *id, int version)
{
    if (version == 2) {
        static constexpr std::array<const char *, 5> Ids{"TP1", "TT2", "TAL", "TCO", "TYE"};
        for (size_t f = 0; f < Ids.size(); ++f)
            if (std::memcmp(id, Ids[f], 3) == 0)
                return int(f);
        return numberFieldOf(id, version);
    }
    static constexpr std::array<const char *, 5> Ids{"TPE1", "TIT2", "TALB", "TCON", "TDRC"};
    for (size_t f = 0; f < Ids.size(); ++f)
        if (std::memcmp(id, Ids[f], 4) == 0)
            return int(f);
    if (std::memcmp(id, "TYER", 4) == 0)
        return version == 4 ? LateYear : Year;
    return numberFieldOf(id, version);
}

bool lacksByteOrderMark(QByteArrayView data)
{
    bool lacks = false;
    if (data.size() >= 3 && data[0] == 1)
        forEachUtf16Value(data, [&](QByteArrayView value, bool) { lacks = lacks || unmarked(value); });
    return lacks;
}

QByteArray withByteOrderMarks(QByteArrayView data)
{
    QByteArray out(1, '\1');
    forEachUtf16Value(data, [&](QByteArrayView value, bool last) {
        if (unmarked(value))
            out.append("\xFF\xFE", 2);
        out.append(value);
        if (!last)
            out.append("\0\0", 2);
    });
    return out;
}

} // namespace Id3v2
