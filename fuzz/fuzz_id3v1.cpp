// The ID3v1 reader over a file's last bytes.
#include "fuzzcheck.h"
#include "media/id3v1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool tag = Id3v1::isTag(bytes);
    FUZZ_CHECK(!tag || size >= size_t(Id3v1::TagSize));
    const TrackTags tags = Id3v1::parseTagUtf8(bytes).toTags();
    // A longer view is read by its last 128 bytes.
    if (size >= size_t(Id3v1::TagSize)) {
        const QByteArrayView last = bytes.last(Id3v1::TagSize);
        FUZZ_CHECK(Id3v1::isTag(last) == tag);
        FUZZ_CHECK(sameTags(Id3v1::parseTagUtf8(last).toTags(), tags));
    }
    if (size)
        (void)Id3v1::genreName(int(data[0]) - 64);
    return 0;
}
