#pragma once

#include <QtGlobal>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Finding line ends in the line-based files the program reads and writes:
// sixteen bytes at a time where the processor allows, not byte by byte.
namespace LineScan {

// The first CR or LF in [p, end), or end when there is none.
inline const char *findLineEnd(const char *p, const char *end)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// The first byte in [p, end) that may begin a line break of any kind in
// UTF-8 text: 0x0A to 0x0D (LF, VT, FF, CR), or the lead byte of NEL
// (C2 85) or of U+2028 and U+2029 (E2 80 A8, E2 80 A9); end when none.
inline const char *findLineBreakStart(const char *p, const char *end)
{
    const auto mayBegin = [](char c) {
        const auto u = quint8(c);
        return (u >= 0x0A && u <= 0x0D) || u == 0xC2 || u == 0xE2;
    };
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
    while (p < end && !mayBegin(*p))
        ++p;
    return p;
}

// Counts the line ends (CR, LF, or CR LF as one) in [p, end). afterCR
// says whether the byte before p was a CR, so that a CR LF pair cut by a
// block boundary counts once; it is updated for the next block.
inline qint64 countLineEnds(const char *p, const char *end, bool &afterCR)
{
    qint64 count = 0;
    const auto scalar = [&](const char *stop) {
        for (; p < stop; ++p) {
            if (*p == '\r' || (*p == '\n' && !afterCR))
                ++count;
            afterCR = *p == '\r';
        }
    };
#if defined(__SSE2__)
    if (end - p > 16) {
        scalar(p + 1); // from here on the byte before p is in the block
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i zero = _mm_setzero_si128();
        __m128i total = zero; // two 64-bit sums
        while (end - p >= 16) {
            // Each byte counts up to 255 times before it is added to total.
            __m128i bytes = zero;
            for (int round = 0; round < 255 && end - p >= 16; ++round, p += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
                const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p - 1));
                // A CR ends a line; an LF does unless a CR stands before it.
                const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(v, cr),
                                                  _mm_andnot_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(v, lf)));
                bytes = _mm_sub_epi8(bytes, ends);
            }
            total = _mm_add_epi64(total, _mm_sad_epu8(bytes, zero));
        }
        count += _mm_cvtsi128_si64(total) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total));
        afterCR = p[-1] == '\r';
    }
#endif
    scalar(end);
    return count;
}

inline bool hasLineEnd(const char *p, const char *end)
{
    return findLineEnd(p, end) != end;
}

} // namespace LineScan
