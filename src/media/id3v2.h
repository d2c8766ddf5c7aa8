#pragma once

#include "media/tracktags.h"

#include <QByteArray>
#include <QByteArrayView>

class ByteSource;

// The ID3 version 2 tag that most MP3 files carry at their start.
namespace Id3v2 {

constexpr int HeaderSize = 10;

// The value of four synchsafe bytes (seven bits each, most significant
// first); -1 when a byte has its top bit set.
qint64 synchsafe(const uchar *fourBytes);

// Total bytes of the tag whose header starts bytes (header, body and the
// footer when its flag is set); 0 when bytes do not begin with a valid
// ten-byte "ID3" header.
qint64 tagSize(QByteArrayView bytes);

// The part of the tag at the start of source that readTextTag needs: its
// header and the text frames the catalogue takes, read frame by frame
// (pictures and other frames are passed over, not read). head holds the
// first bytes of the source already read (it may be empty). The frames
// looked at stop once every field is found, and are bounded in number;
// empty when the source holds no tag.
QByteArray collectTextFrames(const ByteSource &source, QByteArrayView head);

// Artist, title, album, year and genre of a tag as collectTextFrames gives
// it, for versions 2.2 to 2.4 and every text encoding. Numeric genres take
// their names from the ID3v1 table; control characters and line breaks
// become blanks. Empty fields when the tag cannot be read.
TrackTags readTextTag(QByteArrayView textTag);

// The same fields as UTF-8, for the scan's rows: the own reader of the
// common tags, TagLib for the rest.
TrackTagsUtf8 readTextTagUtf8(QByteArrayView textTag);

// What TagLib alone reads from such a tag (to compare the readers).
TrackTags readTextTagWithTagLib(QByteArrayView textTag);

// The genre of one TCON value as TagLib gives it: "(17)", "17" and
// "(17)Rock" give the name of number 17; a name of the numbered list
// takes the spelling of its table; other text is kept, cleaned.
QString genreOfValue(const QString &value);

// Both steps over a tag in memory (bytes start with its header).
TrackTags readTags(QByteArrayView bytes);

} // namespace Id3v2
