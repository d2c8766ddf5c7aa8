#include "base/foldedsearch.h"

#include "base/bytescan.h"
#include "base/textfold.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

namespace TextFold {

// The folds of the two-byte characters again, each in a few bytes of its
// own to copy as one (a size above Most: a longer fold, not held).
struct ShortFold
{
    static constexpr int Most = 7;
    char bytes[Most];
    quint8 size;
};

namespace {

using ByteScan::isAscii;
using ByteScan::isContinuation;
using ByteScan::Scalar::lowerAscii;

// What the fold of each character of the Basic Multilingual Plane can add
// to a search for ASCII text: the set of the ASCII bytes it folds to, or
// every byte when it folds to nothing (it joins its neighbours). Made by
// ICU in pages of 256 characters, each on first use.
class FoldReach
{
public:
    static constexpr AsciiSet Everything = ~AsciiSet(0);

    AsciiSet of(UChar32 c) // c in the Basic Multilingual Plane
    {
        const AsciiSet *page = m_pages[size_t(c >> 8)].load(std::memory_order_acquire);
        if (!page)
            page = made(c >> 8);
        return page[c & 0xFF];
    }

private:
    const AsciiSet *made(int index)
    {
        const std::lock_guard lock(m_making);
        if (const AsciiSet *page = m_pages[size_t(index)].load(std::memory_order_acquire))
            return page;
        auto &made = m_made[size_t(index)];
        made = std::make_unique<std::array<AsciiSet, 256>>();
        auto &page = *made;
        for (int i = 0; i < 256; ++i) {
            const UChar32 c = index << 8 | i;
            if (U_IS_SURROGATE(c)) {
                page[size_t(i)] = Everything;
                continue;
            }
            char bytes[U8_MAX_LENGTH];
            int32_t length = 0;
            U8_APPEND_UNSAFE(bytes, length, c);
            const QByteArray fold = foldCharacters(QByteArrayView(bytes, length));
            page[size_t(i)] = fold.isEmpty() ? Everything : asciiSet(fold);
        }
        m_pages[size_t(index)].store(page.data(), std::memory_order_release);
        return page.data();
    }

    std::array<std::atomic<const AsciiSet *>, 256> m_pages{};
    std::array<std::unique_ptr<std::array<AsciiSet, 256>>, 256> m_made;
    std::mutex m_making;
};

constinit FoldReach foldReach;

const std::array<ShortFold, 0x800 - 0x80> &shortTwoByteFolds()
{
    static const auto folds = [] {
        std::array<ShortFold, 0x800 - 0x80> table{};
        for (size_t i = 0; i < table.size(); ++i) {
            const QByteArray &fold = twoByteFolds()[i];
            table[i].size = quint8(std::min<qsizetype>(fold.size(), ShortFold::Most + 1));
            std::memcpy(table[i].bytes, fold.constData(), size_t(std::min<qsizetype>(fold.size(), ShortFold::Most)));
        }
        return table;
    }();
    return folds;
}

} // namespace

AsciiSet asciiSet(QByteArrayView ascii)
{
    AsciiSet set = 0;
    for (const char c : ascii) {
        if (isAscii(c))
            set |= AsciiSet(1) << (c & 63);
    }
    return set;
}

FoldedAsciiSearch::FoldedAsciiSearch(QByteArrayView needle)
    : m_needle(needle.toByteArray()), m_set(asciiSet(needle))
{
}

FoldedAsciiSearch::Character FoldedAsciiSearch::at(const char *p, const char *end) const
{
    const auto lead = static_cast<unsigned char>(*p);
    if (lead < 0x80)
        return {1, true};
    if (lead >= 0xC2 && lead <= 0xDF && end - p >= 2 && isContinuation(p[1])) {
        const int c = (lead & 0x1F) << 6 | (static_cast<unsigned char>(p[1]) & 0x3F);
        return {2, (foldReach.of(c) & m_set) != 0};
    }
    const auto *bytes = reinterpret_cast<const uint8_t *>(p);
    int32_t length = 0;
    UChar32 c;
    U8_NEXT(bytes, length, int32_t(std::min<qsizetype>(end - p, U8_MAX_LENGTH)), c);
    return {length, c < 0 || c > 0xFFFF || (foldReach.of(c) & m_set) != 0};
}

Q_ALWAYS_INLINE bool FoldedAsciiSearch::joins(const char *lead, const char *end) const
{
    const auto first = static_cast<unsigned char>(*lead);
    if (first >= 0xC2 && first <= 0xDF && end - lead >= 2 && isContinuation(lead[1])) // the common case
        return (foldReach.of((first & 0x1F) << 6 | (static_cast<unsigned char>(lead[1]) & 0x3F)) & m_set) != 0;
    return at(lead, end).joins;
}

// Only the bytes that may lead a character are looked at (11xxxxxx, their
// two top bits, found sixteen at a time): a continuation byte without one
// folds to a replacement character, which is no part of a place.
const char *FoldedAsciiSearch::nextJoining(const char *p, const char *end) const
{
#if defined(__SSE2__)
    if (end - p >= 16) {
        const auto leadsAt = [](const char *from) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
            return unsigned(_mm_movemask_epi8(v) & _mm_movemask_epi8(_mm_add_epi8(v, v)));
        };
        const auto firstJoining = [&](const char *from, unsigned leads) -> const char * {
            for (; leads; leads &= leads - 1) {
                const char *lead = from + __builtin_ctz(leads);
                if (joins(lead, end))
                    return lead;
            }
            return nullptr;
        };
        for (; end - p >= 16; p += 16) {
            if (const char *lead = firstJoining(p, leadsAt(p)))
                return lead;
        }
        if (p < end) { // the bytes left, in the last sixteen
            const char *last = end - 16;
            if (const char *lead = firstJoining(last, leadsAt(last) & ~((1u << (p - last)) - 1)))
                return lead;
        }
        return end;
    }
#endif
    for (; p < end; ++p) {
        if (static_cast<unsigned char>(*p) >= 0xC0 && joins(p, end))
            return p;
    }
    return end;
}

bool FoldedAsciiSearch::holdsAround(QByteArrayView field, const char *character, QByteArray &room,
                                    const char **resume) const
{
    const char *const begin = field.data();
    const char *const end = begin + field.size();
    if (const int found = besideOne(begin, end, character); found >= 0) {
        if (resume)
            *resume = character + 2;
        return found == 1;
    }
    const qsizetype reach = m_needle.size() - 1; // folded bytes a place runs on either side
    // The text a place of the needle may cover: reach ASCII characters on
    // each side, up to one that cannot be in it; joining ones count for
    // nothing, so the window is never short, and one passed on the right
    // takes the window on by reach again, so that it serves for both.
    const char *left = character;
    for (qsizetype ascii = 0; left > begin && ascii < reach;) {
        if (isAscii(left[-1])) {
            --left;
            ++ascii;
            continue;
        }
        const char *previous = left - 1;
        while (previous > begin && left - previous < U8_MAX_LENGTH && isContinuation(*previous))
            --previous;
        const Character c = at(previous, end);
        if (previous + c.length == left && !c.joins)
            break;
        left = previous; // a joining character, or a broken sequence taken as it is
    }
    const char *right = after(character, end);
    for (qsizetype ascii = 0; right < end && ascii < reach;) {
        if (isAscii(*right)) {
            ++right;
            ++ascii;
            continue;
        }
        const Character c = at(right, end);
        if (!c.joins)
            break;
        right += c.length;
        ascii = 0;
    }
    if (resume)
        *resume = right;
    return foldedHolds(QByteArrayView(left, right - left), room);
}

// The common case at once: a two-byte character that folds to ASCII, with
// ASCII around it as far as the needle reaches. The needle stands there
// when the fold is a piece of it and the text on both sides goes on as the
// needle does: 1 when so, 0 when not, -1 when other characters are in the
// way (the window decides).
int FoldedAsciiSearch::besideOne(const char *begin, const char *end, const char *character) const
{
    const auto first = static_cast<unsigned char>(*character);
    if (first < 0xC2 || first > 0xDF || end - character < 2 || !isContinuation(character[1]))
        return -1;
    const ShortFold &fold = shortTwoByteFolds()[size_t(((first & 0x1F) << 6 | (static_cast<unsigned char>(character[1]) & 0x3F)) - 0x80)];
    if (fold.size == 0 || fold.size > ShortFold::Most || !ByteScan::isAscii(fold.bytes, fold.size))
        return -1;
    const qsizetype n = m_needle.size();
    const qsizetype f = fold.size;
    const char *const needle = m_needle.constData();
    const char *const after = character + 2;
    // k: where the fold starts against the needle; it may stick out on
    // either side, and then only the part inside is compared.
    for (qsizetype k = 1 - f; k < n; ++k) {
        const qsizetype from = k > 0 ? k : 0, to = k + f < n ? k + f : n;
        if (needle[from] != fold.bytes[from - k]
            || (to - from > 1 && std::memcmp(needle + from, fold.bytes + (from - k), size_t(to - from)) != 0))
            continue;
        bool matches = true;
        for (qsizetype i = k - 1, at = -1; matches && i >= 0; --i, --at) { // the needle before the fold
            if (character + at < begin)
                matches = false;
            else if (!isAscii(character[at]))
                return -1;
            else
                matches = lowerAscii(character[at]) == needle[i];
        }
        for (qsizetype i = k + f, at = 0; matches && i < n; ++i, ++at) { // and after it
            if (after + at >= end)
                matches = false;
            else if (!isAscii(after[at]))
                return -1;
            else
                matches = lowerAscii(after[at]) == needle[i];
        }
        if (matches)
            return 1;
    }
    return 0;
}

// Whether the needle stands in the fold of window (whole characters).
// Short windows of ASCII and two-byte characters, nearly all of them, are
// folded here a character at a time, as fold() would; others by fold().
bool FoldedAsciiSearch::foldedHolds(QByteArrayView window, QByteArray &room) const
{
    constexpr qsizetype Room = 64;
    if (window.size() <= Room / 2) {
        char folded[Room];
        qsizetype n = 0;
        const auto &twoBytes = shortTwoByteFolds();
        const char *p = window.data();
        const char *const end = p + window.size();
        while (p < end) {
            const auto first = static_cast<unsigned char>(*p);
            if (first < 0x80) {
                folded[n++] = lowerAscii(char(first));
                ++p;
            } else if (first >= 0xC2 && first <= 0xDF && end - p >= 2 && isContinuation(p[1])) {
                const ShortFold &fold = twoBytes[size_t(((first & 0x1F) << 6 | (static_cast<unsigned char>(p[1]) & 0x3F)) - 0x80)];
                if (fold.size > ShortFold::Most || n + ShortFold::Most > Room) // a fold that grows more
                    break;
                std::memcpy(folded + n, fold.bytes, ShortFold::Most);
                n += fold.size;
                p += 2;
            } else {
                break;
            }
        }
        if (p == end)
            return ByteScan::findFolded(folded, folded + n, m_needle) != folded + n;
    }
    fold(window, room);
    return ByteScan::findFolded(room.constData(), room.constEnd(), m_needle) != room.constEnd();
}

bool FoldedAsciiSearch::foldAdds(QByteArrayView text, QByteArray &room) const
{
    const char *const end = text.data() + text.size();
    const char *resume = text.data();
    for (const char *p = nextJoining(resume, end); p != end; p = nextJoining(resume, end)) {
        if (holdsAround(text, p, room, &resume))
            return true;
    }
    return false;
}

} // namespace TextFold
