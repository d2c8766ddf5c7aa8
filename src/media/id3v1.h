#pragma once

#include <QByteArray>
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
// True when the tag holds nothing: every field blanks or NULs, the genre
// byte 0 (as a zeroed block has it) or 255 (none).
bool isBlank(QByteArrayView block);
// The tag's fields as UTF-8, for the scan's rows, their text decoded in
// the medium's code page (none: "auto", UTF-8 when a field is valid UTF-8,
// else Windows-1252). Control characters and bytes the code page leaves
// undefined become blanks. An ID3v1.1 tag gives the track number too.
TrackTagsUtf8 parseTagUtf8(QByteArrayView block, CodePageDecoder *codepage = nullptr);
// The same into fields, whose room it reuses where they share it with
// nothing: a reader of many files allocates nothing for them.
void readTagUtf8(QByteArrayView block, CodePageDecoder *codepage, TrackTagsUtf8 &fields);

// Which of the three 30-byte text fields use their whole width: text up
// to the last byte, or up to the one before with a blank last (a writer
// that cut the text at 30 bytes just after a word). Their text may go on
// in the file's ID3v2 tag.
struct FullFields
{
    bool track = false;
    bool artist = false;
    bool album = false;
};
FullFields fullFields(QByteArrayView block);

// The name of genre number 0..144, empty otherwise.
QString genreName(int number);
// The same as UTF-8 (the names are ASCII), over the table's own bytes.
QByteArray genreNameUtf8(int number);

} // namespace Id3v1
