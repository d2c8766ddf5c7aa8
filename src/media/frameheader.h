#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

class ByteSource;

// The first MPEG audio frame header of a file: found, decoded into its
// fields, and kept in the catalogue as text (four groups of eight "0"/"1"
// characters, each followed by a blank; "n/a" when the file has none),
// which is read back into bits for the readable line.
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
// The same into text, in its room when it shares it with nothing.
void bitsTextUtf8(QByteArrayView fourBytes, QByteArray &text);

// Bytes searched for a frame header after the leading tag: past this a
// file is taken to hold no MPEG audio.
constexpr qint64 SearchBound = 4 * 1024 * 1024;

// True when the four bytes are a frame header: 0xFF, a byte with its top
// three bits set, and no reserved version, layer, bitrate or sample rate.
bool isFrameHeader(QByteArrayView fourBytes);

enum class Version : quint8 { Mpeg25, Reserved, Mpeg2, Mpeg1 }; // by the value of the two bits
enum class ChannelMode : quint8 { Stereo, JointStereo, DualChannel, Mono };
enum class Emphasis : quint8 { None, Ms50_15, Reserved, CcittJ17 };

// A frame header's fields, each decoded from its bits once. Reserved or
// invalid values are kept as they are (version Reserved, layer 0, bitrate
// index 15, rate index 3), with kbps and rate 0 when they give none.
struct Frame
{
    Version version = Version::Mpeg1;
    int layer = 0;        // 1..3; 0 reserved
    bool crc = false;     // a CRC follows the header
    int bitrateIndex = 0; // 0 free format, 15 invalid
    int kbps = 0;         // 0 in free format (the frame's length is not known) or when invalid
    int rateIndex = 0;    // 3 reserved
    int rate = 0;         // samples per second; 0 when reserved
    bool padded = false;
    bool privateBit = false;
    ChannelMode channels = ChannelMode::Stereo;
    int modeExtension = 0;
    bool copyright = false;
    bool original = false;
    Emphasis emphasis = Emphasis::None;

    bool mpeg1() const { return version == Version::Mpeg1; }
    bool mono() const { return channels == ChannelMode::Mono; }
    int samples() const { return layer == 1 ? 384 : (layer == 2 || mpeg1()) ? 1152 : 576; }
    // The frame's bytes, its header included; 0 in free format.
    qint64 bytes() const
    {
        if (kbps <= 0 || rate <= 0)
            return 0;
        if (layer == 1)
            return (12 * qint64(kbps) * 1000 / rate + padded) * 4;
        const int perKbit = layer == 3 && !mpeg1() ? 72 : 144;
        return perKbit * qint64(kbps) * 1000 / rate + padded;
    }
};
// The fields of any 32 header bits (the four bytes, first byte highest).
Frame fieldsOf(quint32 bits);
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

// A header as an audioheader text holds it: its bits, and which of them
// the text gives (a "0" or "1" at the bit's place, counted from the first
// character that is not a blank). A text cut short or not of bits gives
// only some, or none.
struct StoredHeader
{
    quint32 bits = 0;
    quint32 known = 0;
};
StoredHeader storedHeader(const QString &audioheader);
// The readable line of the details window for a header: the version,
// layer, bitrate, sample rate and channel mode, each shown only when the
// bits it is decoded from are known (and, but for the channel mode, not
// reserved); an invalid bitrate is "?", free format "Free".
QString describeFrameHeader(const StoredHeader &header);
// The same for an audioheader field.
QString describeFrameHeader(const QString &audioheader);

} // namespace FrameHeader
