// The match rule: the prepared matcher's byte-wise fast paths must agree
// with the plain rule on every path and text. Input: text, a 0 byte, path.
#include "browse/matchrule.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype cut = bytes.indexOf('\0');
    if (cut < 0)
        return 0;
    const QString text = QString::fromUtf8(bytes.first(cut));
    const QByteArrayView path = bytes.sliced(cut + 1);
    // The catalogue keeps its paths as valid UTF-8.
    if (!path.isValidUtf8())
        return 0;
    const MatchRule::Matcher matcher(text);
    FUZZ_CHECK(matcher.matchesUtf8(path) == MatchRule::matches(QString::fromUtf8(path), text));
    return 0;
}
