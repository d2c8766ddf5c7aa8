#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

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
// Position of the first frame header that lies wholly in bytes at or
// after from; -1 when there is none.
qsizetype findFrameHeader(QByteArrayView bytes, qsizetype from = 0);
QString bitrateText(const QString &version, const QString &layer, const QString &indexBits);
QString sampleRateText(const QString &version, const QString &rateBits);
QString channelModeText(const QString &modeBits);
// The readable line of the details window for an audioheader field.
QString describeFrameHeader(const QString &audioheader);

} // namespace FrameHeader
