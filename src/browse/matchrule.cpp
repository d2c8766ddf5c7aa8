#include "browse/matchrule.h"

#include "store/platform/systempaths.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace MatchRule {

namespace {

// The search form of an ASCII byte: letters upper-cased, "_" as a blank.
constexpr std::array<char, 128> foldTable()
{
    std::array<char, 128> table{};
    for (int c = 0; c < 128; ++c)
        table[size_t(c)] = char(c >= 'a' && c <= 'z' ? c - 32 : c == '_' ? ' ' : c);
    return table;
}
constexpr std::array<char, 128> Fold = foldTable();

bool isAscii(const char *p, qsizetype n)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    __m128i any = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16)
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i)));
    if (_mm_movemask_epi8(any) != 0)
        return false;
#endif
    unsigned char bits = 0;
    for (; i < n; ++i)
        bits |= static_cast<unsigned char>(p[i]);
    return bits < 0x80;
}

bool restMatches(const char *at, const QByteArray &needle)
{
    for (qsizetype j = 1; j < needle.size(); ++j) {
        if (Fold[static_cast<unsigned char>(at[j])] != needle[j])
            return false;
    }
    return true;
}

// needle: upper-case ASCII without "_"; path: ASCII.
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
    if (!isAscii(path.data(), path.size()))
    {
        const QString form = SystemPaths::searchText(QString::fromUtf8(path));
        return !form.isEmpty() && form.contains(m_upper);
    }
    // An ASCII path has an ASCII search form, which cannot hold a text
    // that is not ASCII.
    return m_asciiNeedle && asciiContains(path.data(), path.size(), m_ascii);
}

qsizetype findFirst(const RowStore &rows, const Matcher &matcher, qsizetype from)
{
    for (qsizetype i = std::max<qsizetype>(from, 0); i < rows.size(); ++i) {
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
        if (matcher.matchesUtf8(rows.fieldUtf8(i, FieldFilename)))
            found.push_back(i);
    }
    return found;
}

} // namespace MatchRule
