#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>

// The ID3 version 2 tag that most MP3 files carry at their start: its
// header and the headers of its frames, read from bytes already in memory.
// collectTextFrames (id3v2collect.h) takes the frames the catalogue wants
// from a file; readCommonTextTag (id3v2text.h) and TagLib (id3v2taglib.h)
// decode them.
namespace Id3v2 {

constexpr int HeaderSize = 10;

// The value of four synchsafe bytes (seven bits each, most significant
// first); -1 when a byte has its top bit set.
qint64 synchsafe(const uchar *fourBytes);

// Total bytes of the tag whose header starts bytes (header, body and the
// footer when its flag is set); 0 when bytes do not begin with a valid
// ten-byte "ID3" header.
qint64 tagSize(QByteArrayView bytes);

// The header's flags: the tag unsynchronised (in 2.2 and 2.3 as a whole,
// in 2.4 frame by frame), an extended header before the frames (in 2.2,
// compression, which no reader knows), a footer after the body.
constexpr uchar UnsyncFlag = 0x80;
constexpr uchar ExtendedHeaderFlag = 0x40;
constexpr uchar FooterFlag = 0x10;

// Bytes as they were before unsynchronisation: the zero byte a writer put
// after each 0xFF is taken out again.
QByteArray resynchronised(QByteArrayView bytes);

// The ten bytes of a tag's header with the body size set to bodySize and
// without the footer flag: the header of a copy that keeps some frames and
// leaves the footer out.
std::array<char, HeaderSize> headerWithBody(QByteArrayView header, qint64 bodySize);

// Whether a text frame's data (its encoding byte first) is UTF-16 with a
// value that has no byte order mark.
bool lacksByteOrderMark(QByteArrayView data);
// The same data with a mark put in front of each value that lacks one: such
// a value is read as little-endian, as the writers that leave it out (and
// the other readers) do, so both readers decode it so.
QByteArray withByteOrderMarks(QByteArrayView data);

// Bytes of a frame header in a tag of major version 2 (six) or 3 and 4
// (ten), and of the frame id at its start.
constexpr int frameHeaderSize(int version)
{
    return version == 2 ? 6 : 10;
}
constexpr int frameIdSize(int version)
{
    return version == 2 ? 3 : 4;
}

// The data size of the frame whose header starts at frame: big-endian in
// versions 2.2 and 2.3, synchsafe in 2.4 (-1 when it is not). Some 2.4
// writers stored plain big-endian sizes: plainSizes reads them so.
qint64 frameSize(const uchar *frame, int version, bool plainSizes = false);

// True when the frame id at id is made of capital letters and digits.
bool isFrameId(const uchar *id, int version);

// The frame format flags (the second flag byte) of 2.4 that readers undo
// themselves, and those that no reader here knows (2.3 has its own bits
// for the last two).
constexpr uchar FrameUnsyncFlag = 0x02;
constexpr uchar DataLengthFlag = 0x01;
constexpr uchar FrameCompressedFlag = 0x08;
constexpr uchar FrameEncryptedFlag = 0x04;

// True when the frame whose header starts at frame is an attached picture
// (APIC; PIC in 2.2) that can be read: neither compressed nor encrypted.
bool isPictureFrame(const uchar *frame, int version);

// The data of a 2.4 frame (after its header, whose format flags are
// flags) as its writer meant it: its unsynchronisation undone (set on the
// frame, or on every frame by the tag's header: unsyncFrames), its data
// length indicator left out. held keeps bytes that had to be undone.
QByteArrayView undoFrameFormat(QByteArrayView data, uchar flags, bool unsyncFrames, QByteArray &held);

// The fields the catalogue takes from text frames. TagLib reads the year
// frames of versions 2.2 and 2.3 as the 2.4 recording time, and the first
// year frame wins; in a 2.4 tag a TYER (LateYear) counts only while there
// is no TDRC. The track and disc numbers (TRCK, TPOS) come last.
enum Field { Artist, Title, Album, Genre, Year, LateYear, TrackNumber, DiscNumber, FieldCount };

// The field of the frame whose id starts at id, in a tag of version 2 to
// 4; -1 for a frame the catalogue does not take.
int fieldOfFrame(const uchar *id, int version);

} // namespace Id3v2
