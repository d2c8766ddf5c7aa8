#pragma once

#include <QByteArrayView>
#include <QString>

// The first MPEG audio frame header of a file, kept as text: four groups of
// eight "0"/"1" characters, each followed by a blank; "n/a" when the file
// has none. And the decoding of that text into a readable line.
namespace FrameHeader {

inline const QString NotAvailable = QStringLiteral("n/a");

// The header bits of a file's first bytes (a leading ID3v2 tag skipped);
// "n/a" when they hold no frame header. Pure: takes what was read.
QString headerBitsOf(QByteArrayView bytes);
// As headerBitsOf, reading the file through a buffer; "n/a" on failure.
QString getFrameHeaderBits(const QString &path);

QString byteToBits(int byte);
QString bitrateText(const QString &version, const QString &layer, const QString &indexBits);
QString sampleRateText(const QString &version, const QString &rateBits);
QString channelModeText(const QString &modeBits);
// The readable line of the details window for an audioheader field.
QString describeFrameHeader(const QString &audioheader);

} // namespace FrameHeader
