#pragma once

#include "base/bytescanscalar.h"

#include <QByteArrayView>
#include <QtGlobal>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Scans over bytes that hot loops run: line ends in the line-based files,
// ASCII-only text, bytes a line of output escapes. Sixteen bytes at a
// time where the processor allows, eight as one word elsewhere; each scan
// gives what its plain reference in ByteScan::Scalar gives, which also
// serves the last few bytes.
namespace ByteScan {


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
    return Scalar::findLineEnd(p, end);
}

inline bool hasLineEnd(const char *p, const char *end)
{
    return findLineEnd(p, end) != end;
}

// Finds the line ends of one block in order, for lines that are mostly
// short: the CR and LF bytes of 64 bytes are found at once, as a bit mask,
// and each line end is then one bit scan.
class LineEndFinder
{
public:
    explicit LineEndFinder(const char *end) : m_end(end) {}

    // The first CR or LF in [p, end); p never moves backwards.
    const char *find(const char *p)
    {
#if defined(__SSE2__)
        for (;;) {
            if (m_window != nullptr && p >= m_window && p < m_window + Window) {
                const quint64 bits = m_mask >> (p - m_window);
                if (bits != 0)
                    return p + __builtin_ctzll(bits);
                p = m_window + Window;
            }
            if (m_end - p < Window)
                break;
            m_window = p;
            m_mask = lineEndMask(p);
        }
        m_window = nullptr;
#endif
        return findLineEnd(p, m_end);
    }

private:
    static constexpr qsizetype Window = 64;

#if defined(__SSE2__)
    static quint64 lineEndMask(const char *p)
    {
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        quint64 mask = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
            const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
            mask |= quint64(quint16(m)) << (16 * i);
        }
        return mask;
    }
#endif

    const char *m_end;
    const char *m_window = nullptr; // where the 64 bytes of m_mask start
    quint64 m_mask = 0;
};

// The first byte in [p, end) that may begin a line break of any kind in
// UTF-8 text: 0x0A to 0x0D (LF, VT, FF, CR), or the lead byte of NEL
// (C2 85) or of U+2028 and U+2029 (E2 80 A8, E2 80 A9); end when none.
inline const char *findLineBreakStart(const char *p, const char *end)
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
    return Scalar::findLineBreakStart(p, end);
}

// Counts the line ends (CR, LF, or CR LF as one) in [p, end). afterCR
// says whether the byte before p was a CR, so that a CR LF pair cut by a
// block boundary counts once; it is updated for the next block.
inline qint64 countLineEnds(const char *p, const char *end, bool &afterCR)
{
    qint64 count = 0;
#if defined(__SSE2__)
    if (end - p > 16) {
        count += Scalar::countLineEnds(p, p + 1, afterCR); // from here on the byte before p is in the block
        ++p;
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
    return count + Scalar::countLineEnds(p, end, afterCR);
}

// Whether no byte of [p, p + n) is above 0x7F.
inline bool isAscii(const char *p, qsizetype n)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    __m128i any = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16)
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i)));
    if (_mm_movemask_epi8(any) != 0)
        return false;
#endif
    return Scalar::isAscii(p + i, n - i);
}

inline bool isAscii(QByteArrayView bytes)
{
    return isAscii(bytes.data(), bytes.size());
}

// The first byte above 0x7F in [p, end), or end when there is none. The
// last sixteen bytes are looked at in one load that may overlap the one
// before.
inline const char *findNonAscii(const char *p, const char *end)
{
#if defined(__SSE2__)
    if (end - p >= 16) {
        for (; end - p >= 16; p += 16) {
            if (const int bits = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))))
                return p + __builtin_ctz(unsigned(bits));
        }
        if (p == end)
            return end;
        const char *last = end - 16; // bytes before p were plain
        if (const int bits = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(last))))
            return last + __builtin_ctz(unsigned(bits));
        return end;
    }
#endif
    return Scalar::findNonAscii(p, end);
}

#if defined(__SSE2__)
namespace Sse2 {

// One bit for each of the sixteen bytes from p that is c or, for a
// letter, its capital.
inline int bytesFolded(const char *p, char c)
{
    const char upper = c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    return _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)), _mm_cmpeq_epi8(v, _mm_set1_epi8(upper))));
}

} // namespace Sse2
#endif

// The first place in [p, end) where needle (not empty, its letters in
// lower case) stands with its ASCII letters in either case; end when none.
// The places of its first two bytes are found sixteen at a time, the last
// sixteen in one load that may overlap the one before.
inline const char *findFolded(const char *p, const char *end, QByteArrayView needle)
{
#if defined(__SSE2__)
    const qsizetype places = (end - p) - needle.size() + 1; // where needle fits
    if (places >= 16) {
        const qsizetype second = needle.size() > 1 ? 1 : 0; // the needle's first two bytes, or its one twice
        const auto starts = [&](const char *q) {
            return Sse2::bytesFolded(q, needle[0]) & Sse2::bytesFolded(q + second, needle[second]);
        };
        const auto check = [&](qsizetype from, int bits) -> const char * {
            for (; bits; bits &= bits - 1) {
                const char *at = p + from + __builtin_ctz(unsigned(bits));
                if (Scalar::startsFolded(at, needle))
                    return at;
            }
            return nullptr;
        };
        qsizetype i = 0;
        for (; i + 16 <= places; i += 16) {
            if (const char *at = check(i, starts(p + i)))
                return at;
        }
        if (i < places) { // the places left, in the last sixteen
            const qsizetype last = places - 16;
            if (const char *at = check(last, starts(p + last) & ~((1 << (i - last)) - 1)))
                return at;
        }
        return end;
    }
#endif
    return Scalar::findFolded(p, end, needle);
}

// True when one of the eight bytes of word needs escaping. A byte equal
// to c shows as a zero byte of word ^ c repeated; a byte below 0x20 is
// one that borrows when 0x20 is taken from it.
inline __attribute__((always_inline)) bool anyNeedsEscape(quint64 word)
{
    constexpr quint64 Ones = 0x0101010101010101ULL, Highs = 0x8080808080808080ULL;
    const auto below = [word](unsigned char c) { return (word - Ones * c) & ~word & Highs; };
    const auto has = [word](unsigned char c) {
        const quint64 x = word ^ (Ones * c);
        return (x - Ones) & ~x & Highs;
    };
    return (below(0x20) | has('\\') | has(0x7F)) != 0;
}

#if defined(__SSE2__)
// One bit for each of the sixteen bytes of v that needs escaping.
inline int escapeBits(__m128i v)
{
    const __m128i lastControl = _mm_set1_epi8(0x1F);
    const __m128i backslash = _mm_set1_epi8('\\'), del = _mm_set1_epi8(0x7F);
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, lastControl), v); // v <= 0x1F
    return _mm_movemask_epi8(
        _mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(v, backslash), _mm_cmpeq_epi8(v, del))));
}
#endif

// How many bytes from the start of text need no escaping.
qsizetype plainRun(const char *text, qsizetype size);

// Copies the n bytes at in to out when none of them needs escaping; false
// otherwise (what was copied by then is to be written over). One pass
// loads, checks and stores each byte; the last few bytes go as words that
// overlap the ones before, never past the end of in or of out.
inline bool copyPlain(char *out, const char *in, qsizetype n)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    const auto plain = [](__m128i v) { return escapeBits(v) == 0; };
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        if (!plain(v))
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), v);
    }
    if (i == n)
        return true;
    if (n >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + n - 16));
        if (!plain(v))
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + n - 16), v);
        return true;
    }
#endif
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, in + i, 8);
        if (anyNeedsEscape(word))
            return false;
        std::memcpy(out + i, &word, 8);
    }
    if (const qsizetype left = n - i; left >= 4) {
        quint32 low, high;
        std::memcpy(&low, in + i, 4);
        std::memcpy(&high, in + n - 4, 4);
        if (anyNeedsEscape(low | quint64(high) << 32))
            return false;
        std::memcpy(out + i, &low, 4);
        std::memcpy(out + n - 4, &high, 4);
        return true;
    }
    return Scalar::copyPlain(out + i, in + i, n - i);
}

} // namespace ByteScan
