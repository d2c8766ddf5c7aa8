#pragma once

#include "media/mediascan.h"

#include <QByteArrayView>

// The ID3 version 2 tag that most MP3 files carry at their start.
namespace Id3v2 {

constexpr int HeaderSize = 10;

// Total bytes of the tag whose header starts bytes (header, body and the
// footer when its flag is set); 0 when bytes do not begin with a valid
// ten-byte "ID3" header.
qint64 tagSize(QByteArrayView bytes);

// Artist, title, album, year and genre of a whole tag (bytes start with
// its header), for versions 2.2 to 2.4 and every text encoding. Numeric
// genres take their names from the ID3v1 table; control characters and
// line breaks become blanks. Empty fields when the tag cannot be read.
TrackTags readTags(QByteArrayView tag);

// Text made safe for the line-based list file: control characters and
// line breaks become blanks, then leading and trailing blanks go.
QString cleanText(const QString &text);

// The genre of a TCON value: "(17)", "17" and "(17)Rock" give the name of
// number 17; a name of the numbered list takes the spelling of its
// table; other text is kept.
QString genreOfValue(const QString &value);

} // namespace Id3v2
