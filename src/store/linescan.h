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

// Counts the line ends (CR, LF, or CR LF as one) in [p, end). afterCR
// says whether the byte before p was a CR, so that a CR LF pair cut by a
// block boundary counts once; it is updated for the next block.
inline qint64 countLineEnds(const char *p, const char *end, bool &afterCR)
{
    qint64 count = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    unsigned carry = afterCR ? 1 : 0;
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const unsigned crs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
        const unsigned lfs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
        const unsigned pairs = lfs & ((crs << 1) | carry);
        count += __builtin_popcount(crs) + __builtin_popcount(lfs) - __builtin_popcount(pairs);
        carry = (crs >> 15) & 1;
        p += 16;
    }
    afterCR = carry != 0;
#endif
    for (; p < end; ++p) {
        if (*p == '\r')
            ++count;
        else if (*p == '\n' && !afterCR)
            ++count;
        afterCR = *p == '\r';
    }
    return count;
}

inline bool hasLineEnd(const char *p, const char *end)
{
    return findLineEnd(p, end) != end;
}

} // namespace LineScan
