#include "media/rawtrack.h"

#include "media/frameheader.h"
#include "media/id3v1.h"
#include "media/id3v2collect.h"
#include "media/id3v2taglib.h"
#include "media/id3v2text.h"
#include "media/streamfacts.h"
#include "catalogue/extensionline.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The first read of every file: the tag header, and for most files
// without a large picture the first frame as well.
constexpr qint64 HeadBlock = 8 * 1024;

// Where the numbers come from: the track's from ID3v1.1's track byte when
// the file has one (not zero), else from the ID3v2 tag's TRCK; the disc's
// from its TPOS, which ID3v1 has no place for.
TrackNumbers trackNumbersOf(TrackNumbers id3v1, TrackNumbers id3v2)
{
    return {id3v1.track ? id3v1.track : id3v2.track, id3v2.disc};
}

// The picture shown for the file when none is attached: the tag's before
// the folder's, as the windows show them.
QByteArrayView artOf(bool embedded, bool folder)
{
    return embedded ? ExtensionLine::ArtEmbedded : folder ? ExtensionLine::ArtFolder : QByteArrayView();
}

// Whether the ID3v2 tag can change anything the track takes: a field, or a
// number the ID3v1 tag lacks (the disc's always). Most files whose ID3v1
// tag is whole need not have their ID3v2 text read at all.
bool id3v2Needed(const TagChoice::Id3v1Read &id3v1, QByteArrayView textTag, TagPreference prefer)
{
    Id3v2::NumberFrames held;
    return TagChoice::needsId3v2(id3v1, prefer) || !Id3v2::numberFramesOf(textTag, held) || held.disc
           || (held.track && id3v1.fields.numbers.track == 0);
}

} // namespace

void parseRawTags(RawTrack &raw, CodePageDecoder *codepage)
{
    // Each thread parses into fields of its own, whose room the next file
    // reuses: the track shares them until it is packed or let go, so a
    // reader that packs each track it parses allocates nothing for them.
    thread_local TagChoice::Id3v1Read id3v1;
    thread_local TrackTagsUtf8 id3v2;
    thread_local QByteArray headerBits;
    thread_local QByteArray extension;
    if (raw.hasId3v1) {
        const QByteArrayView block(raw.id3v1Block.data(), Id3v1::TagSize);
        Id3v1::readTagUtf8(block, codepage, id3v1.fields);
        id3v1.full = Id3v1::fullFields(block);
        raw.hasId3v1 = false;
    } else {
        id3v1.fields.empty();
        id3v1.full = {};
    }
    if (raw.hasHeader) {
        FrameHeader::bitsTextUtf8(QByteArrayView(raw.header.data(), 4), headerBits);
        raw.audioheader = headerBits;
        raw.hasHeader = false;
    }
    TrackNumbers id3v2Numbers;
    if (!raw.textTag.isEmpty() && id3v2Needed(id3v1, raw.textTag, raw.prefer)) {
        Id3v2::readTextTagUtf8(raw.textTag, id3v2);
        raw.tags = TagChoice::choose(id3v1, id3v2, raw.prefer);
        id3v2Numbers = id3v2.numbers;
    } else {
        raw.tags = id3v1.fields;
    }
    raw.textTag = QByteArray();
    raw.tags.numbers = trackNumbersOf(id3v1.fields.numbers, id3v2Numbers);
    if (raw.measured) {
        StreamFacts::writeExtensionLine(extension, raw.measured->size, raw.measured->mtime, raw.measured->facts,
                                        raw.tags.numbers, artOf(raw.embeddedPicture, raw.folderImage));
        raw.extension = extension;
    }
}

namespace {

// The tags of a file of size bytes whose first bytes are head: the ID3v1
// tag at the end, then the ID3v2 text frames at the start, for the fields
// the choice takes from them and for the numbers ID3v1 lacks.
void readTags(RawTrack &raw, const ByteSource &file, QByteArrayView head, qint64 size, TagPreference prefer)
{
    raw.prefer = prefer;
    if (size >= Id3v1::TagSize) {
        thread_local QByteArray tail;
        QByteArrayView block;
        if (head.size() == size)
            block = head.last(Id3v1::TagSize);
        else if (file.readAt(size - Id3v1::TagSize, Id3v1::TagSize, tail))
            block = tail;
        // An ID3v1 tag that is all blank or NUL holds nothing: some
        // taggers leave one beside a full ID3v2 tag, whose fields then count.
        if (Id3v1::isTag(block) && !Id3v1::isBlank(block)) {
            std::memcpy(raw.id3v1Block.data(), block.last(Id3v1::TagSize).data(), Id3v1::TagSize);
            raw.hasId3v1 = true;
        }
    }
    raw.textTag = Id3v2::collectTextFrames(file, head, &raw.embeddedPicture);
}

RawTrack readOpened(const MediaFile &file, TagPreference prefer)
{
    RawTrack raw;
    raw.status = file.status();
    raw.problem = file.problem();
    if (!file.isOpen())
        return raw;
    const qint64 size = file.size();
    // The facts read first, from the start: the first header and the tags
    // take what they need of their reads. Each reading thread reuses its
    // buffers: a file costs no allocation for its head and tail.
    StreamFacts::Reads reads;
    std::optional<StreamFacts::Facts> facts = StreamFacts::readStreamFacts(file, {}, &reads);
    QByteArrayView head = reads.start;
    thread_local QByteArray start; // when the facts could not read it
    if (head.isEmpty() && size > 0) {
        if (!file.readAt(0, std::min(size, HeadBlock), start))
            return raw;
        head = start;
    }
    raw.measured = RawTrack::Measured{size, file.modifiedSeconds(), std::move(facts)};
    const KnownBytes known(file, {{0, head}, {reads.headAt, reads.head}, {reads.tailAt, reads.tail}});

    raw.hasHeader = FrameHeader::headerBytesOfFile(known, head, raw.header);
    readTags(raw, known, head, size, prefer);
    return raw;
}

} // namespace

RawTrack readRawTrack(const MediaFile &file, TagPreference prefer)
{
    RawTrack raw = readOpened(file, prefer);
    // A read that failed leaves a file that only looks empty: it is not
    // read, and nothing of it is kept.
    if (const int error = file.readError()) {
        raw = RawTrack();
        raw.status = SafeFileRead::Status::Failed;
        raw.problem = SafeFileRead::systemReason(error);
    }
    return raw;
}

TrackTagsUtf8 readTrackTags(const MediaFile &file, CodePageDecoder *codepage, TagPreference prefer)
{
    RawTrack raw;
    QByteArray head;
    if (!file.isOpen() || !file.readAt(0, std::min(file.size(), HeadBlock), head))
        return {};
    readTags(raw, file, head, file.size(), prefer);
    parseRawTags(raw, codepage);
    return raw.tags;
}

bool isImported(const RawTrack &raw)
{
    return raw.status == SafeFileRead::Status::Read;
}
