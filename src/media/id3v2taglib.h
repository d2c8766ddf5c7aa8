#pragma once

#include "media/tracktags.h"

#include <QByteArrayView>

// The reading of an ID3v2 tag as collectTextFrames (id3v2collect.h) gives
// it: the own reader of the common tags (id3v2text.h) first, TagLib for
// every tag that one leaves to it.
namespace Id3v2 {

// Artist, title, album, year and genre of such a tag as UTF-8, for the
// scan's rows, and the track and disc numbers (TRCK, TPOS; numberInSet):
// versions 2.2 to 2.4 and every text encoding. Numeric genres take their
// names from the ID3v1 table; control characters and line breaks become
// blanks. Empty fields when the tag cannot be read.
TrackTagsUtf8 readTextTagUtf8(QByteArrayView textTag);
// The same into tags, reusing their room where they share it with nothing.
void readTextTagUtf8(QByteArrayView textTag, TrackTagsUtf8 &tags);

// What TagLib alone reads from such a tag (to compare the readers).
TrackTags readTextTagWithTagLib(QByteArrayView textTag);

} // namespace Id3v2
