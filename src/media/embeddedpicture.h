#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

class ByteSource;

// The front cover a file carries in its ID3v2 tag: an attached picture
// frame (APIC; PIC in 2.2) read from the tag's bytes, never past them.
namespace EmbeddedPicture {

// The picture type of a front cover; other types (back cover, artist,
// leaflet) are taken only when the tag holds no front cover.
constexpr int FrontCover = 3;

struct Picture
{
    QByteArray data;     // the image file's bytes (JPEG, PNG)
    QByteArray mimeType; // "image/jpeg"; from 2.2's format "JPG" or "PNG" as well
    int type = 0;
    QString description;
};

// One picture frame's header and data as the tag holds them, in a tag of
// the given major version (unsyncFrames: a 2.4 tag whose header says every
// frame is unsynchronised); nothing when its fields do not fit the frame.
std::optional<Picture> parseFrame(QByteArrayView frame, int version, bool unsyncFrames = false);

// The front cover of the tag at the start of source (head: its first
// bytes already read, may be empty), else its first picture; nothing when
// it has none. Reads the frame headers and picture frames, nothing past
// the tag, and holds at most two pictures at once.
std::optional<Picture> frontCover(const ByteSource &source, QByteArrayView head = {});

// The same for the file at path (its exact bytes), opened as the scan
// opens files (a named pipe or a device is refused unread); nothing for a
// file that cannot be opened, such as one on a medium that is not mounted.
std::optional<Picture> readFrontCover(const QByteArray &path);

} // namespace EmbeddedPicture
