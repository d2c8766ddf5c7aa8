#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

class ByteSource;

// The first MPEG audio frame header of a file, kept as text: four groups of
// eight "0"/"1" characters, each followed by a blank; "n/a" when the file
// has none. And the decoding of that text into a readable line.
namespace FrameHeader {

inline const QString NotAvailable = QStringLiteral("n/a");

// The four bytes of the first frame header of a file (or any source) whose
// first bytes were read into head already (head may be shorter than the
// file, or empty), leading ID3v2 tags skipped; reads in growing blocks.
// False when there is none ("n/a") or on a read failure.
bool headerBytesOfFile(const ByteSource &file, QByteArrayView head, std::array<char, 4> &header);
// The text of four header bytes, as UTF-8 (it is ASCII), for the scan's
// rows: four groups of eight, each + a blank.
QByteArray bitsTextUtf8(QByteArrayView fourBytes);

// Bytes searched for a frame header after the leading tag: past this a
// file is taken to hold no MPEG audio.
constexpr qint64 SearchBound = 4 * 1024 * 1024;

// True when the four bytes are a frame header: 0xFF, a byte with its top
// three bits set, and no reserved version, layer, bitrate or sample rate.
bool isFrameHeader(QByteArrayView fourBytes);

// A frame header's fields.
struct Frame
{
    bool mpeg1 = false;
    int layer = 0;
    int kbps = 0; // 0 in free format: the frame's length is not known
    int rate = 0;
    bool padded = false;
    bool mono = false;

    int samples() const { return layer == 1 ? 384 : (layer == 2 || mpeg1) ? 1152 : 576; }
    // The frame's bytes, its header included; 0 in free format.
    qint64 bytes() const
    {
        if (kbps <= 0)
            return 0;
        if (layer == 1)
            return (12 * qint64(kbps) * 1000 / rate + padded) * 4;
        const int perKbit = layer == 3 && !mpeg1 ? 72 : 144;
        return perKbit * qint64(kbps) * 1000 / rate + padded;
    }
};
// The fields of four bytes that are a frame header; nothing otherwise.
std::optional<Frame> decodeFrame(QByteArrayView fourBytes);
// True when next (four bytes) is a frame header of the same stream as the
// header first: the same version, layer and sample rate.
bool sameStream(QByteArrayView first, QByteArrayView next);
// Bytes from a frame header that show whether the next frame follows it:
// the frame and the next header (free format: the longest frame and a
// header).
qsizetype followBytes(const Frame &frame);

// Position of the first frame header at or after from in bytes that the
// next frame follows, where its length says (in free format: within the
// longest frame); a header whose next frame the bytes end before is taken,
// since the bytes may end with the file. -1 when there is none. A lone
// sync in the junk or tags before the audio is passed over this way.
qsizetype findFrameHeader(QByteArrayView bytes, qsizetype from = 0);
QString bitrateText(const QString &version, const QString &layer, const QString &indexBits);
QString sampleRateText(const QString &version, const QString &rateBits);
QString channelModeText(const QString &modeBits);
// The readable line of the details window for an audioheader field.
QString describeFrameHeader(const QString &audioheader);

} // namespace FrameHeader
