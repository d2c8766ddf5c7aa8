#pragma once

#include "media/id3v1.h"
#include "media/tracktags.h"
#include "media/tagreading.h"

// The one rule for where a scan takes each of the five fields from, when a
// file may hold an ID3v1 tag (at its end) and an ID3v2 tag (at its start).
namespace TagChoice {

// A file's ID3v1 tag as the choice needs it: its fields decoded in the
// medium's code page, and which text fields use their whole 30 bytes.
struct Id3v1Read
{
    TrackTagsUtf8 fields; // all empty when the file has no ID3v1 tag
    Id3v1::FullFields full;
};

// Whether the file's ID3v2 tag can change any field, so must be read.
bool needsId3v2(const Id3v1Read &v1, TagPreference prefer);

// The five fields of a file from its ID3v1 read and its ID3v2 fields
// (all empty when it has no ID3v2 tag).
//
// With the default preference (id3v1), each field is the ID3v1 one, except
// that the ID3v2 field is taken where the ID3v1 field
// - is empty: no ID3v1 tag, a blank or NUL field, a blank year, or a
//   genre byte that names no genre of the table (255, "none", included);
// - or, for artist, title and album, fills its 30 bytes while the ID3v2
//   field begins with the same text, compared folded (case and accents
//   aside): the ID3v1 text is that one cut short.
// With id3v2, each field is the ID3v2 one where it is not empty, else the
// ID3v1 one.
TrackTagsUtf8 choose(const Id3v1Read &v1, const TrackTagsUtf8 &v2, TagPreference prefer);

} // namespace TagChoice
