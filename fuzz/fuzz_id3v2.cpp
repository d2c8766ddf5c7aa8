// The ID3v2 tag reader: the own frame collector in front of TagLib, checked
// against TagLib reading the whole tag, and against itself with the first
// block of the file ending anywhere.
#include "fuzzcheck.h"
#include "media/id3v2.h"
#include "media/mediafile.h"

#include <QByteArray>

namespace {

bool anyField(const TrackTags &t)
{
    return !t.artist.isEmpty() || !t.track.isEmpty() || !t.album.isEmpty() || !t.year.isEmpty()
           || !t.genre.isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const MemorySource source(bytes);
    const QByteArray collected = Id3v2::collectTextFrames(source, bytes);
    const qsizetype headSize = size > 10 ? qsizetype(data[size - 1]) * qsizetype(size) / 256 : 0;
    FUZZ_CHECK(Id3v2::collectTextFrames(source, bytes.first(headSize)) == collected);

    const TrackTags own = Id3v2::readTextTag(collected);
    FUZZ_CHECK(sameTags(own, Id3v2::readTags(bytes)));

    const qint64 tagBytes = Id3v2::tagSize(bytes);
    // A tag cut off by the end of the file is read differently by design: the
    // own reader keeps each frame within its size and the bytes there.
    if (tagBytes > 0 && tagBytes <= qint64(size)) {
        const TrackTags whole = Id3v2::readTextTag(bytes.first(qsizetype(std::min<qint64>(tagBytes, size))));
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
