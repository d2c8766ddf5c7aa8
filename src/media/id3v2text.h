#pragma once

#include "media/tracktags.h"

#include <QByteArrayView>

// The own reader of the common ID3v2 tags: versions 2.2 to 2.4, frames
// without flags, text in ISO-8859-1, UTF-16 with a byte order mark,
// UTF-16BE or UTF-8 outside the astral planes. It gives the fields TagLib
// gives for such tags, straight as UTF-8, at a small part of the cost.
namespace Id3v2 {

// Reads a tag as collectTextFrames gives it into tags, reusing their room.
// False, with tags half read, when the tag holds anything this reader
// leaves to TagLib (unsynchronisation, an extended header, a footer, frame
// flags, sizes that do not add up, text it cannot decode exactly as TagLib
// does, a tag that may read as empty): the caller then asks TagLib.
bool readCommonTextTag(QByteArrayView tag, TrackTagsUtf8 &tags);

// Which number frames (track: TRCK, TRK; disc: TPOS, TPA) such a tag
// holds, without reading any text. False when this reader leaves the tag's
// frames to TagLib; otherwise TagLib too sees those frames and no others,
// so a number whose frame is missing is 0 whichever reader reads the tag.
struct NumberFrames
{
    bool track = false;
    bool disc = false;
};
bool numberFramesOf(QByteArrayView tag, NumberFrames &held);

} // namespace Id3v2
