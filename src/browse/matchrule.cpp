#include "browse/matchrule.h"

#include "base/bytescan.h"
#include "base/platform/systempaths.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace MatchRule {

namespace {

// The search form of a byte: ASCII letters upper-cased, "_" as a blank.
// Bytes beyond ASCII (parts of longer characters) fold to a byte that no
// ASCII needle holds, so they never match.
constexpr std::array<char, 256> foldTable()
{
    std::array<char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[size_t(c)] = c >= 0x80 ? char(0x80) : char(c >= 'a' && c <= 'z' ? c - 32 : c == '_' ? ' ' : c);
    return table;
}
constexpr std::array<char, 256> Fold = foldTable();

// The characters of the Basic Multilingual Plane beyond ASCII whose upper
// case holds an ASCII character (the dotless i, the long s, the sharp s,
// ligatures such as "fi" and a few more), from the same case mapping the
// plain rule uses.
class UpperToAscii
{
public:
    UpperToAscii()
    {
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000)
                continue;
            const QString upper = QString(QChar(char16_t(c))).toUpper();
            if (std::any_of(upper.cbegin(), upper.cend(), [](QChar u) { return u.unicode() < 0x80; }))
                m_bits[c / 64] |= quint64(1) << (c % 64);
        }
    }
    bool has(char32_t c) const { return (m_bits[c / 64] >> (c % 64)) & 1; }

private:
    std::array<quint64, 0x10000 / 64> m_bits{};
};

// True when the path's characters beyond ASCII are well-formed UTF-8 of
// the Basic Multilingual Plane and none of them upper-cases to anything
// ASCII: then they can never take part in a match of an ASCII text, and
// the path may be compared byte by byte like an ASCII one.
bool asciiComparable(const char *p, qsizetype n)
{
    static const UpperToAscii table;
    for (qsizetype i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        char32_t c = 0;
        int length = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            c = b & 0x1F;
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            c = b & 0x0F;
            length = 3;
        } else {
            return false; // a four-byte sequence or not UTF-8
        }
        if (i + length > n)
            return false;
        for (int k = 1; k < length; ++k) {
            const auto cont = static_cast<unsigned char>(p[i + k]);
            if ((cont & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (cont & 0x3F);
        }
        if (c < 0x80 || (length == 3 && c < 0x800) || (c >= 0xD800 && c < 0xE000) || table.has(c))
            return false;
        i += length;
    }
    return true;
}

bool restMatches(const char *at, const QByteArray &needle)
{
    for (qsizetype j = 1; j < needle.size(); ++j) {
        if (Fold[static_cast<unsigned char>(at[j])] != needle[j])
            return false;
    }
    return true;
}

// needle: upper-case ASCII without "_"; path: ASCII, or bytes beyond ASCII
// that never match.
bool asciiContains(const char *p, qsizetype n, const QByteArray &needle)
{
    const qsizetype m = needle.size();
    if (m == 0)
        return n > 0;
    if (m > n)
        return false;
    const char first = needle[0];
    // The path bytes whose search form is the needle's first byte.
    const char a = first;
    const char b = first >= 'A' && first <= 'Z' ? char(first + 32) : first == ' ' ? '_' : first;
    const qsizetype last = n - m; // the last position a match can start at
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    for (; i + 16 <= n && i <= last; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb))));
        while (mask) {
            const qsizetype at = i + qsizetype(__builtin_ctz(mask));
            if (at > last)
                return false;
            if (restMatches(p + at, needle))
                return true;
            mask &= mask - 1;
        }
    }
#endif
    for (; i <= last; ++i) {
        if ((p[i] == a || p[i] == b) && restMatches(p + i, needle))
            return true;
    }
    return false;
}

} // namespace

bool matches(const QString &path, const QString &text)
{
    const QString form = SystemPaths::searchText(path);
    return !form.isEmpty() && form.contains(text.toUpper());
}

Matcher::Matcher(const QString &text) : m_text(text), m_upper(text.toUpper())
{
    m_never = m_upper.contains(QLatin1Char('_'));
    m_asciiNeedle = std::all_of(m_upper.cbegin(), m_upper.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (m_asciiNeedle)
        m_ascii = m_upper.toLatin1();
}

bool Matcher::matchesUtf8(QByteArrayView path) const
{
    if (m_never || path.isEmpty())
        return false;
    const bool ascii = ByteScan::isAscii(path);
    if (!ascii && !(m_asciiNeedle && asciiComparable(path.data(), path.size())))
    {
        const QString form = SystemPaths::searchText(QString::fromUtf8(path));
        return !form.isEmpty() && form.contains(m_upper);
    }
    // An ASCII path has an ASCII search form, which cannot hold a text
    // that is not ASCII; a comparable path matches where its ASCII does.
    return m_asciiNeedle && asciiContains(path.data(), path.size(), m_ascii);
}

namespace {
// After a sort the rows' texts lie scattered in memory; asking for the
// texts a few rows ahead keeps several memory reads in flight at once.
constexpr qsizetype PrefetchAhead = 16;
inline void prefetchPath(const RowStore &rows, qsizetype row)
{
    if (row < rows.size()) {
        const QByteArrayView path = rows.fieldUtf8(row, FieldFilename);
        __builtin_prefetch(path.data());
        __builtin_prefetch(path.data() + path.size());
    }
}
} // namespace

qsizetype findFirst(const RowStore &rows, const Matcher &matcher, qsizetype from)
{
    for (qsizetype i = std::max<qsizetype>(from, 0); i < rows.size(); ++i) {
        prefetchPath(rows, i + PrefetchAhead);
        if (matcher.matchesUtf8(rows.fieldUtf8(i, FieldFilename)))
            return i;
    }
    return -1;
}

std::vector<qsizetype> matchingRows(const RowStore &rows, const QString &text)
{
    const Matcher matcher(text);
    std::vector<qsizetype> found;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        prefetchPath(rows, i + PrefetchAhead);
        if (matcher.matchesUtf8(rows.fieldUtf8(i, FieldFilename)))
            found.push_back(i);
    }
    return found;
}

} // namespace MatchRule
