#include "store/oneline.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace OneLine {

namespace {

// A byte that may begin a line break in UTF-8: 0x0A to 0x0D, or the
// first byte of NEL (C2 85) or of U+2028 and U+2029 (E2 80 A8, E2 80 A9).
bool mayBeginBreak(char c)
{
    const auto u = quint8(c);
    return (u >= 0x0A && u <= 0x0D) || u == 0xC2 || u == 0xE2;
}

// The first byte at or after p that may begin a line break, or end;
// sixteen bytes at a time where the processor allows.
const char *nextCandidate(const char *p, const char *end)
{
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(0x0A), span = _mm_set1_epi8(0x0D - 0x0A);
    const __m128i c2 = _mm_set1_epi8(char(0xC2)), e2 = _mm_set1_epi8(char(0xE2));
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i offset = _mm_sub_epi8(v, first);
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(offset, span), offset); // 0x0A..0x0D
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(v, c2), _mm_cmpeq_epi8(v, e2))));
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && !mayBeginBreak(*p))
        ++p;
    return p;
}

// The bytes of the line break at p, or 0 when there is none.
qsizetype breakLength(const char *p, const char *end)
{
    const auto at = [p](int i) { return quint8(p[i]); };
    if (at(0) >= 0x0A && at(0) <= 0x0D)
        return 1;
    if (at(0) == 0xC2 && end - p >= 2 && at(1) == 0x85)
        return 2;
    if (at(0) == 0xE2 && end - p >= 3 && at(1) == 0x80 && (at(2) == 0xA8 || at(2) == 0xA9))
        return 3;
    return 0;
}

} // namespace

bool isLineBreak(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

void append(QByteArray &out, QByteArrayView utf8)
{
    const char *p = utf8.data();
    const char *const end = p + utf8.size();
    while (p < end) {
        const char *candidate = nextCandidate(p, end);
        out.append(p, candidate - p);
        if (candidate == end)
            break;
        const qsizetype length = breakLength(candidate, end);
        out.append(length > 0 ? ' ' : *candidate);
        p = candidate + std::max<qsizetype>(length, 1);
    }
}

QString of(const QString &text)
{
    const auto isBreak = [](QChar c) { return isLineBreak(c.unicode()); };
    if (std::none_of(text.cbegin(), text.cend(), isBreak))
        return text;
    QString out = text;
    std::replace_if(out.begin(), out.end(), isBreak, QChar(u' '));
    return out;
}

} // namespace OneLine
