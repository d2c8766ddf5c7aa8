#pragma once

#include <QByteArrayView>
#include <QString>

#include "media/tracktags.h"

class CodePageDecoder;

// The ID3 version 1 tag in a file's last 128 bytes, and the genre table.

namespace Id3v1 {

constexpr int TagSize = 128;

// Pure forms over the last 128 bytes of a file (a longer view is taken by
// its last 128 bytes; a shorter one holds no tag).
bool isTag(QByteArrayView block);
// The tag's fields as UTF-8, for the scan's rows, their text decoded in
// the medium's code page (none: "auto", UTF-8 when a field is valid UTF-8,
// else Windows-1252). Control characters and bytes the code page leaves
// undefined become blanks. An ID3v1.1 tag gives the track number too.
TrackTagsUtf8 parseTagUtf8(QByteArrayView block, CodePageDecoder *codepage = nullptr);

// The name of genre number 0..144, empty otherwise.
QString genreName(int number);

} // namespace Id3v1
