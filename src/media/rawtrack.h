#pragma once

#include "media/mediafile.h"
#include "media/streamfacts.h"
#include "media/tagchoice.h"
#include "media/tracktags.h"

#include <QByteArray>
#include <optional>
#include <QString>

class CodePageDecoder;

// The reading of one file by a scan, in two steps: the reading of its
// bytes (readRawTrack, in the order the medium is read), then the parsing
// of its ID3v2 tag (parseRawTags, on any thread).

// What the reading of one file gives before any tag parsing: the header
// bits, the ID3v1 fields, and the ID3v2 text frames still to be parsed,
// all as UTF-8.
struct RawTrack
{
    TrackTagsUtf8 tags; // the ID3v1 fields, then the fields chosen
    TagChoice::Id3v1Read id3v1; // until the ID3v2 text frames are parsed
    TagPreference prefer = TagPreference::Id3v1;
    QByteArray audioheader;
    SafeFileRead::Status status = SafeFileRead::Status::Missing;
    QString problem;
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

// The header, the ID3v1 tag and the ID3v2 text frames of an opened file
// (the fields, whichever tag they are chosen from, and the numbers). The head and
// tail buffers are the reading thread's own (8 KiB at most); every other
// buffer is the call's own and is freed when it returns: a file with a
// large tag costs its reads only while it is being read. The ID3v1 text is
// decoded in codepage, the reading thread's own (none: "auto"); prefer is
// the medium's tag preference.
RawTrack readRawTrack(const MediaFile &file, CodePageDecoder *codepage = nullptr,
                      TagPreference prefer = TagPreference::Id3v1);

// The fields chosen from the ID3v1 tag and the ID3v2 text frames raw
// holds, which are then dropped, and the extension line with the numbers
// of both tags and where a picture for the file is (art=).
void parseRawTags(RawTrack &raw);

// The five fields of an opened file as a scan takes them, without its
// header and facts (for a preview of another reading).
TrackTagsUtf8 readTrackTags(const MediaFile &file, CodePageDecoder *codepage, TagPreference prefer);

// A path the walk took for a plain file that is not one when it is read
// (it vanished, or turned into a pipe), or that the system could not open
// or read (status Failed, a scratched disc), is skipped; a plain file whose
// tags are damaged still becomes an entry with what could be read.
bool isImported(const RawTrack &raw);
