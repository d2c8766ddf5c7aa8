#pragma once

// The readers of a file's header and tags over bytes in memory, in one
// call each, for tests, fuzzing harnesses and benchmarks: each runs the
// steps the scan runs over a file.

#include "media/frameheader.h"
#include "media/id3v2collect.h"
#include "media/id3v2taglib.h"
#include "media/id3v2text.h"
#include "media/mediafile.h"

#include <QByteArrayView>
#include <QString>

#include <array>

// The header bits of a source (a file) whose first bytes were read into
// head already (head may be shorter than the source, or empty): four
// groups of eight "0"/"1" characters, each followed by a blank; "n/a" when
// it holds no frame header or cannot be read.
inline QString headerBitsOfFile(const ByteSource &file, QByteArrayView head)
{
    std::array<char, 4> header;
    if (!FrameHeader::headerBytesOfFile(file, head, header))
        return FrameHeader::NotAvailable;
    return QString::fromLatin1(FrameHeader::bitsTextUtf8(QByteArrayView(header.data(), 4)));
}

// The same over a file's first bytes (leading ID3v2 tags skipped).
inline QString headerBitsOf(QByteArrayView bytes)
{
    return headerBitsOfFile(MemorySource(bytes), bytes);
}

// The fields of an ID3v2 tag as collectTextFrames gives it, as the scan
// reads them (the own reader first, TagLib for the rest), as text: a value
// TagLib gives is kept as it is, not taken through UTF-8.
inline TrackTags readId3v2TextTag(QByteArrayView textTag)
{
    TrackTagsUtf8 own;
    if (Id3v2::readCommonTextTag(textTag, own))
        return own.toTags();
    return Id3v2::readTextTagWithTagLib(textTag);
}

// The fields of the ID3v2 tag that bytes start with.
inline TrackTags readId3v2Tag(QByteArrayView bytes)
{
    return readId3v2TextTag(Id3v2::collectTextFrames(MemorySource(bytes), bytes));
}
