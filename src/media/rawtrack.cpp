#include "media/rawtrack.h"

#include "media/frameheader.h"
#include "media/id3v1.h"
#include "media/id3v2collect.h"
#include "media/id3v2taglib.h"
#include "media/streamfacts.h"

#include <algorithm>
#include <array>

namespace {

// The first read of every file: the tag header, and for most files
// without a large picture the first frame as well.
constexpr qint64 HeadBlock = 8 * 1024;

} // namespace

namespace {

// Where the numbers come from: the track's from ID3v1.1's track byte when
// the file has one (not zero), else from the ID3v2 tag's TRCK; the disc's
// from its TPOS, which ID3v1 has no place for.
TrackNumbers trackNumbersOf(TrackNumbers id3v1, TrackNumbers id3v2)
{
    return {id3v1.track ? id3v1.track : id3v2.track, id3v2.disc};
}

} // namespace

void parseRawTags(RawTrack &raw)
{
    if (!raw.textTag.isEmpty()) {
        const TrackNumbers id3v1 = raw.tags.numbers;
        const TrackTagsUtf8 id3v2 = Id3v2::readTextTagUtf8(raw.textTag);
        if (raw.tags.isEmpty()) // no ID3v1 tag, or a blank one
            raw.tags = id3v2;
        raw.tags.numbers = trackNumbersOf(id3v1, id3v2.numbers);
        raw.textTag = QByteArray();
    }
    if (raw.measured)
        raw.extension = StreamFacts::extensionLine(raw.measured->size, raw.measured->mtime, raw.measured->facts,
                                                   raw.tags.numbers);
}

namespace {

RawTrack readOpened(const MediaFile &file, CodePageDecoder *codepage)
{
    RawTrack raw;
    raw.status = file.status();
    raw.problem = file.problem();
    if (!file.isOpen())
        return raw;
    const qint64 size = file.size();
    raw.measured = RawTrack::Measured{size, file.modifiedSeconds(), StreamFacts::readStreamFacts(file)};

    // Each reading thread reuses its buffers: a file costs no allocation
    // for its head and tail.
    thread_local QByteArray head;
    if (!file.readAt(0, std::min(size, HeadBlock), head))
        return raw;

    std::array<char, 4> header;
    if (FrameHeader::headerBytesOfFile(file, head, header))
        raw.audioheader = FrameHeader::bitsTextUtf8(QByteArrayView(header.data(), 4));

    if (size >= Id3v1::TagSize) {
        thread_local QByteArray tail;
        QByteArrayView block;
        if (head.size() == size)
            block = QByteArrayView(head).last(Id3v1::TagSize);
        else if (file.readAt(size - Id3v1::TagSize, Id3v1::TagSize, tail))
            block = tail;
        // An ID3v1 tag whose fields are all blank holds nothing: some
        // taggers leave one beside a full ID3v2 tag, which then counts.
        if (Id3v1::isTag(block))
            raw.tags = Id3v1::parseTagUtf8(block, codepage);
    }

    // The text frames of the ID3v2 tag at the start: its fields when there
    // is no ID3v1 tag, or a blank one, and the numbers ID3v1 lacks.
    raw.textTag = Id3v2::collectTextFrames(file, head);
    return raw;
}

} // namespace

RawTrack readRawTrack(const MediaFile &file, CodePageDecoder *codepage)
{
    RawTrack raw = readOpened(file, codepage);
    // A read that failed leaves a file that only looks empty: it is not
    // read, and nothing of it is kept.
    if (const int error = file.readError()) {
        raw = RawTrack();
        raw.status = SafeFileRead::Status::Failed;
        raw.problem = SafeFileRead::systemReason(error);
    }
    return raw;
}

bool isImported(const RawTrack &raw)
{
    return raw.status == SafeFileRead::Status::Read;
}
