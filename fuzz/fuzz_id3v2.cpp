// The ID3v2 tag reader: the own frame collector in front of TagLib, checked
// against TagLib reading the whole tag, and against itself with the first
// block of the file ending anywhere.
#include "fuzzcheck.h"
#include "media/embeddedpicture.h"
#include "media/id3v2.h"
#include "media/id3v2collect.h"
#include "media/id3v2taglib.h"
#include "media/mediafile.h"
#include "mediareads.h"

#include <QByteArray>
#include <cctype>

namespace {

bool anyField(const TrackTags &t)
{
    return !t.artist.isEmpty() || !t.track.isEmpty() || !t.album.isEmpty() || !t.year.isEmpty()
           || !t.genre.isEmpty();
}

// True when every frame header of the whole tag (version 2.3 or 2.4) has
// a valid id and no flags. TagLib reads a frame that claims a data length
// indicator or compression past its own size into the bytes after it, and
// takes some ids that are not valid ("TCO" and a 0 byte) for others; the
// own reader keeps to the frame and its exact id: there the two differ by
// design.
//
// TagLib turns the recording dates of 2.2 and 2.3 (TRD, TRDA) and a 2.4
// TRDC into the year; the own reader takes the year from the year frames
// only (TYE, TYER, TDRC).
bool plainFrames(QByteArrayView tag)
{
    const int version = tag[3];
    if (tag.indexOf(QByteArrayView("TRD")) >= 0)
        return false;
    if (version == 2)
        return true;
    if ((tag[5] & 0xC0) != 0)
        return false;
    const auto *b = reinterpret_cast<const uchar *>(tag.data());
    qsizetype pos = Id3v2::HeaderSize;
    while (pos + 10 <= tag.size() && b[pos] != 0) {
        if (b[pos + 8] != 0 || b[pos + 9] != 0)
            return false;
        for (int i = 0; i < 4; ++i) {
            if (!std::isupper(b[pos + i]) && !std::isdigit(b[pos + i]))
                return false;
        }
        const qint64 frameSize = version == 4 ? Id3v2::synchsafe(b + pos + 4)
                                              : qint64(quint32(b[pos + 4]) << 24 | quint32(b[pos + 5]) << 16
                                                       | quint32(b[pos + 6]) << 8 | b[pos + 7]);
        if (frameSize < 0)
            return false;
        pos += 10 + frameSize;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const MemorySource source(bytes);
    const QByteArray collected = Id3v2::collectTextFrames(source, bytes);
    const qsizetype headSize = size > 10 ? qsizetype(data[size - 1]) * qsizetype(size) / 256 : 0;
    FUZZ_CHECK(Id3v2::collectTextFrames(source, bytes.first(headSize)) == collected);

    // The front cover's reader takes any bytes; a picture it gives lies within them.
    if (const auto picture = EmbeddedPicture::frontCover(source, bytes.first(headSize)))
        FUZZ_CHECK(picture->data.size() < qsizetype(size));

    const TrackTags own = readId3v2TextTag(collected);
    FUZZ_CHECK(sameTags(own, readId3v2Tag(bytes)));

    const qint64 tagBytes = Id3v2::tagSize(bytes);
    // A tag cut off by the end of the file is read differently by design: the
    // own reader keeps each frame within its size and the bytes there.
    if (tagBytes > 0 && tagBytes <= qint64(size) && plainFrames(bytes.first(qsizetype(tagBytes)))) {
        const TrackTags whole = readId3v2TextTag(bytes.first(qsizetype(std::min<qint64>(tagBytes, size))));
        if (anyField(own) && anyField(whole) && !sameTags(own, whole)) {
            for (const TrackTags *t : {&own, &whole})
                std::fprintf(stderr, "artist '%s' track '%s' album '%s' year '%s' genre '%s'\n",
                             qPrintable(t->artist), qPrintable(t->track), qPrintable(t->album),
                             qPrintable(t->year), qPrintable(t->genre));
            FUZZ_CHECK(sameTags(own, whole));
        }
    }
    return 0;
}
