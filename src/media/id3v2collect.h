#pragma once

#include <QByteArray>
#include <QByteArrayView>

class ByteSource;

namespace Id3v2 {

// The part of the tag at the start of source that the readers of text
// frames need: its header and the text frames the catalogue takes, read
// frame by frame (pictures and other frames are passed over, not read).
// head holds the first bytes of the source already read (it may be empty).
// The frames looked at stop once every field is found, and are bounded in
// number. A tag whose frames cannot be walked one by one is given whole,
// up to a bound. Empty when the source holds no tag.
QByteArray collectTextFrames(const ByteSource &source, QByteArrayView head);

} // namespace Id3v2
