#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

class ByteSource;

namespace Id3v2 {

// The part of the tag at the start of source that the readers of text
// frames need: its header and the text frames the catalogue takes, read
// frame by frame (pictures and other frames are passed over, not read).
// head holds the first bytes of the source already read (it may be empty).
// The frames looked at stop once every field is found, and are bounded in
// number. A tag whose frames cannot be walked one by one is given whole,
// up to a bound. Empty when the source holds no tag. hasPicture, when
// given, is set when the walk passed a picture frame a reader can take:
// the scan learns it from the frame headers it reads anyway, and after
// the last wanted frame only from the headers already read.
QByteArray collectTextFrames(const ByteSource &source, QByteArrayView head, bool *hasPicture = nullptr);

// A picture frame as the walk finds it: its header and data as the tag
// holds them (a 2.2 or 2.3 tag unsynchronised as a whole is undone
// already), and what reading its data takes.
struct PictureFrame
{
    QByteArrayView frame;
    int version = 3;
    bool unsyncFrames = false; // 2.4: the tag's header says every frame is unsynchronised
};

// Walks the tag at the start of source as collectTextFrames does and hands
// each picture frame that can be read (whole within the tag, bounded in
// size, neither compressed nor encrypted) to read, in the tag's order,
// until read returns true. Frame headers are read in blocks that may run
// past the tag: a reader that must stop at its end gives a source that ends
// there (EmbeddedPicture::frontCover does).
void readPictureFrames(const ByteSource &source, QByteArrayView head,
                       const std::function<bool(const PictureFrame &)> &read);

} // namespace Id3v2
