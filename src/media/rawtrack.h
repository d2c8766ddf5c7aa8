#pragma once

#include "media/id3v1.h"
#include "media/mediafile.h"
#include "media/streamfacts.h"
#include "media/tagchoice.h"
#include "media/tracktags.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

class CodePageDecoder;

// The reading of one file by a scan, in two steps: the reading of its
// bytes (readRawTrack, in the order the medium is read), then the parsing
// of its tags (parseRawTags, on any thread), so that a single reader of a
// medium only reads while another thread parses.

// What the reading of one file gives before any tag parsing: the bytes of
// its first frame header, its ID3v1 tag and its ID3v2 text frames; once
// parsed, the fields, the header bits and the extension line, as UTF-8.
struct RawTrack
{
    TrackTagsUtf8 tags; // the fields chosen from both tags, once parsed
    TagPreference prefer = TagPreference::Id3v1;
    QByteArray audioheader; // the first frame header's bits, once parsed
    SafeFileRead::Status status = SafeFileRead::Status::Missing;
    QString problem;
    // Until parsed: the ID3v1 tag (when the file has one that holds
    // something), the first frame header (when found) and the ID3v2 text
    // frames. Kept in place, so the reading allocates nothing for them.
    std::array<char, Id3v1::TagSize> id3v1Block{};
    bool hasId3v1 = false;
    std::array<char, 4> header{};
    bool hasHeader = false;
    QByteArray textTag;
    bool embeddedPicture = false; // the ID3v2 tag holds a picture frame
    bool folderImage = false;     // the file's folder holds a cover picture (FolderCover)
    QByteArray extension; // the file's facts as its extension line, once its tags are parsed
    // What the extension line is made of besides the tags' numbers: the
    // size and time of a file that could be opened, and its stream's facts.
    struct Measured
    {
        qint64 size = 0;
        qint64 mtime = 0;
        std::optional<StreamFacts::Facts> facts;
    };
    std::optional<Measured> measured;
};

// The header, the ID3v1 tag and the ID3v2 text frames of an opened file,
// as bytes. The buffers it reads into are the reading thread's own; a
// buffer for a large tag is the call's own and is freed when it returns:
// a file with a large tag costs its reads only while it is being read.
// prefer is the medium's tag preference.
RawTrack readRawTrack(const MediaFile &file, TagPreference prefer = TagPreference::Id3v1);

// The fields chosen from the ID3v1 tag and the ID3v2 text frames raw
// holds, which are then dropped, the header's bits, and the extension line
// with the numbers of both tags and where a picture for the file is
// (art=). The ID3v1 text is decoded in codepage, the calling thread's own
// (none: "auto").
void parseRawTags(RawTrack &raw, CodePageDecoder *codepage = nullptr);

// The five fields of an opened file as a scan takes them, without its
// header and facts (for a preview of another reading).
TrackTagsUtf8 readTrackTags(const MediaFile &file, CodePageDecoder *codepage, TagPreference prefer);

// A path the walk took for a plain file that is not one when it is read
// (it vanished, or turned into a pipe), or that the system could not open
// or read (status Failed, a scratched disc), is skipped; a plain file whose
// tags are damaged still becomes an entry with what could be read.
bool isImported(const RawTrack &raw);
