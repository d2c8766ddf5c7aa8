// The TagLib fallback on its own, over the raw bytes of a tag and over the
// frames the collector keeps of them (what the scan hands it): every field
// it gives is clean (no control characters or line breaks, no blanks at
// either end), the year holds at most four characters, and the scan's
// UTF-8 reading of a tag is valid UTF-8, the bytes of the text reading.
#include "fuzzcheck.h"
#include "media/id3v2collect.h"
#include "media/id3v2taglib.h"
#include "media/mediafile.h"
#include "mediareads.h"

#include <QStringDecoder>
#include <iterator>

namespace {

bool clean(const QString &field)
{
    if (field.startsWith(u' ') || field.endsWith(u' '))
        return false;
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            return false;
    }
    return true;
}

void print(const char *what, const TrackTags &t)
{
    std::fprintf(stderr, "%s: artist '%s' track '%s' album '%s' year '%s' genre '%s'\n", what, qPrintable(t.artist),
                 qPrintable(t.track), qPrintable(t.album), qPrintable(t.year), qPrintable(t.genre));
}

void checkFallback(QByteArrayView tag)
{
    const TrackTags taglib = Id3v2::readTextTagWithTagLib(tag);
    for (const QString *field : {&taglib.artist, &taglib.track, &taglib.album, &taglib.year, &taglib.genre}) {
        if (!clean(*field)) {
            print("taglib", taglib);
            FUZZ_CHECK(clean(*field));
        }
    }
    FUZZ_CHECK(taglib.year.size() <= 4);

    // What the scan stores: valid UTF-8, as clean as the text.
    const TrackTagsUtf8 stored = Id3v2::readTextTagUtf8(tag);
    for (const QByteArray *field : {&stored.artist, &stored.track, &stored.album, &stored.year, &stored.genre}) {
        FUZZ_CHECK(QByteArrayView(*field).isValidUtf8());
        // Decoded with a leading U+FEFF kept, as it was read.
        QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        FUZZ_CHECK(clean(decode(*field)));
    }

    // A value TagLib decodes to a lone surrogate has no UTF-8 form and is
    // stored with a replacement; all other text is stored as its UTF-8
    // bytes (compared as bytes: a UTF-8 decoder drops a leading U+FEFF).
    const TrackTags text = readId3v2TextTag(tag);
    const QString *texts[] = {&text.artist, &text.track, &text.album, &text.year, &text.genre};
    const QByteArray *bytes[] = {&stored.artist, &stored.track, &stored.album, &stored.year, &stored.genre};
    for (size_t f = 0; f < std::size(texts); ++f) {
        if (QStringView(*texts[f]).isValidUtf16() && texts[f]->toUtf8() != *bytes[f]) {
            print("text", text);
            print("utf-8", stored.toTags());
            FUZZ_CHECK(texts[f]->toUtf8() == *bytes[f]);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkFallback(bytes);
    checkFallback(Id3v2::collectTextFrames(MemorySource(bytes), bytes));
    return 0;
}
