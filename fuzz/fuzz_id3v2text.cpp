// The own reader of common ID3v2 text tags against TagLib on the same
// bytes: wherever the own reader takes a tag, its fields are TagLib's.
#include "fuzzcheck.h"
#include "media/id3v2collect.h"
#include "media/id3v2taglib.h"
#include "media/id3v2text.h"
#include "media/mediafile.h"

namespace {

void compareReaders(QByteArrayView tag)
{
    TrackTagsUtf8 own;
    if (!Id3v2::readCommonTextTag(tag, own))
        return;
    for (const QByteArray *field : {&own.artist, &own.track, &own.album, &own.year, &own.genre})
        FUZZ_CHECK(QByteArrayView(*field).isValidUtf8());
    const TrackTags mine = own.toTags();
    const TrackTags taglib = Id3v2::readTextTagWithTagLib(tag);
    if (!sameTags(mine, taglib)) {
        for (const TrackTags *t : {&mine, &taglib})
            std::fprintf(stderr, "artist '%s' track '%s' album '%s' year '%s' genre '%s'\n", qPrintable(t->artist),
                         qPrintable(t->track), qPrintable(t->album), qPrintable(t->year), qPrintable(t->genre));
        FUZZ_CHECK(sameTags(mine, taglib));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    compareReaders(bytes);
    compareReaders(Id3v2::collectTextFrames(MemorySource(bytes), bytes));
    return 0;
}
