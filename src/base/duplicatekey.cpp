#include "base/duplicatekey.h"

#include <QByteArray>
#include <QSet>

#include <algorithm>
#include <cctype>
#include <deque>
#include <vector>

namespace {

// The code unit of the escape \uXXXX at raw[i], or -1 when there is none.
int escapedUnit(QByteArrayView raw, qsizetype i)
{
    if (i + 6 > raw.size() || raw[i] != '\\' || raw[i + 1] != 'u')
        return -1;
    const QByteArrayView digits = raw.sliced(i + 2, 4);
    if (!std::all_of(digits.begin(), digits.end(), [](char d) { return std::isxdigit(uchar(d)); }))
        return -1;
    return digits.toInt(nullptr, 16);
}

// A code point as UTF-8; a lone surrogate gets the three bytes of its
// number, so two keys that differ only there stay two keys, as in Qt.
void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
        return;
    }
    static constexpr uchar lead[] = {0, 0xC0, 0xE0, 0xF0};
    const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += char(lead[tail] | (c >> (6 * tail)));
    for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6)
        out += char(0x80 | ((c >> shift) & 0x3F));
}

// The text of a key (between its quotes) with its escapes decoded; none
// when an escape is not JSON's.
std::optional<QByteArray> decoded(QByteArrayView raw)
{
    static constexpr QByteArrayView named = "\"\\/bfnrt";
    static constexpr char meaning[] = "\"\\/\b\f\n\r\t";
    QByteArray out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        if (const qsizetype n = i + 1 < raw.size() ? named.indexOf(raw[i + 1]) : -1; n >= 0) {
            out += meaning[n];
            ++i;
            continue;
        }
        const int unit = escapedUnit(raw, i);
        if (unit < 0)
            return std::nullopt;
        i += 5;
        char32_t c = char32_t(unit);
        // A high surrogate with a low one escaped right after it is one character.
        if (const int low = escapedUnit(raw, i + 1); c >= 0xD800 && c < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + char32_t(low - 0xDC00);
            i += 6;
        }
        appendUtf8(out, c);
    }
    return out;
}

} // namespace

std::optional<DuplicateKey> findDuplicateKey(QByteArrayView json)
{
    struct Open
    {
        bool object;
        bool keyNext; // the next string is a key
        QSet<QByteArrayView> keys;
    };
    std::vector<Open> open;
    std::deque<QByteArray> decodedKeys; // what the views of escaped keys see
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '{' || c == '[') {
            open.push_back({c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            if (open.empty() || open.back().object != (c == '}'))
                return std::nullopt;
            open.pop_back();
        } else if (c == ',' && !open.empty()) {
            open.back().keyNext = open.back().object;
        } else if (c == '"') {
            const qsizetype start = i + 1;
            bool escaped = false;
            for (++i; i < json.size() && json[i] != '"'; ++i) {
                if (json[i] == '\\') {
                    escaped = true;
                    ++i;
                }
            }
            if (i >= json.size())
                return std::nullopt;
            if (open.empty() || !open.back().keyNext)
                continue;
            open.back().keyNext = false;
            QByteArrayView key = json.sliced(start, i - start);
            if (escaped) {
                std::optional<QByteArray> text = decoded(key);
                if (!text)
                    return std::nullopt;
                key = decodedKeys.emplace_back(std::move(*text));
            }
            QSet<QByteArrayView> &keys = open.back().keys;
            const qsizetype before = keys.size();
            keys.insert(key);
            if (keys.size() == before)
                return DuplicateKey{QString::fromUtf8(key), start - 1};
        }
    }
    return std::nullopt;
}
