#include "base/textfold.h"

#include "base/bytescan.h"

#include <QHash>

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace TextFold {

namespace {

using ByteScan::isAscii;
using ByteScan::isContinuation;

// ICU's full case folding folds "ß" to "ss", which Qt's one-to-one
// folding leaves alone.
QByteArray foldRun(QByteArrayView run)
{
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(run.data(), int(run.size())));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfkd = icu::Normalizer2::getNFKDInstance(status);
    icu::UnicodeString decomposed;
    if (U_SUCCESS(status))
        decomposed = nfkd->normalize(text, status);
    if (U_FAILURE(status))
        decomposed = text;
    icu::UnicodeString kept;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            kept.append(c);
        i += U16_LENGTH(c);
    }
    kept.foldCase(U_FOLD_CASE_DEFAULT);
    std::string bytes;
    kept.toUTF8String(bytes);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

// The same runs come back again and again (a language's accented letters,
// the words of another script between blanks), and ICU costs a microsecond
// or so a run: each thread keeps the folds it made, up to a bound.
const QByteArray &cachedFold(QByteArrayView run)
{
    constexpr qsizetype MostRuns = 8192;
    thread_local QHash<QByteArray, QByteArray> folds;
    const auto found = folds.constFind(QByteArray::fromRawData(run.data(), run.size()));
    if (found != folds.cend())
        return found.value();
    if (folds.size() >= MostRuns)
        folds.clear();
    return *folds.insert(run.toByteArray(), foldRun(run));
}

} // namespace

// A character of them folds on its own, as an ASCII one does.
const std::array<QByteArray, 0x800 - 0x80> &twoByteFolds()
{
    static const auto folds = [] {
        std::array<QByteArray, 0x800 - 0x80> table;
        for (int c = 0x80; c < 0x800; ++c) {
            const char bytes[2] = {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
            table[size_t(c - 0x80)] = foldRun(QByteArrayView(bytes, 2));
        }
        return table;
    }();
    return folds;
}

namespace {

// ICU's trimming: blanks and Unicode's white space at both ends.
bool isWhite(UChar32 c)
{
    if (c < 0x80) // ICU's answer for ASCII, without a call
        return c == 0x20 || (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x1F);
    return u_isWhitespace(c);
}

void trimWhite(QByteArray &text)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(text.constData());
    const int32_t length = int32_t(text.size());
    int32_t first = 0, end = length;
    for (int32_t at = 0; at < length;) {
        UChar32 c;
        U8_NEXT(bytes, at, length, c);
        if (!isWhite(c))
            break;
        first = at;
    }
    for (int32_t at = length; at > first;) {
        UChar32 c;
        U8_PREV(bytes, 0, at, c);
        if (!isWhite(c))
            break;
        end = at;
    }
    if (end < length)
        text.truncate(end);
    if (first > 0)
        text.remove(0, first);
}

} // namespace

QByteArray foldCharacters(QByteArrayView utf8)
{
    return foldRun(utf8);
}

void fold(QByteArrayView utf8, QByteArray &out)
{
    const QByteArrayView text = utf8.trimmed();
    // An ASCII character has no decomposition, is no combining mark and
    // stops the reordering of marks, and case folding looks at one
    // character at a time: the text folds run by run, ASCII here and the
    // runs between through ICU, with the same result as the whole at once.
    out.resize(text.size());
    qsizetype at = 0; // bytes of out written
    const auto room = [&out, &at](qsizetype bytes) {
        if (at + bytes > out.size())
            out.resize(std::max(at + bytes, 2 * out.size()));
        return out.data() + at;
    };
    bool other = false;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i + 1;
        const bool ascii = isAscii(text[i]);
        while (end < text.size() && isAscii(text[end]) == ascii)
            ++end;
        if (ascii) {
            std::transform(text.begin() + i, text.begin() + end, room(end - i), ByteScan::Scalar::lowerAscii);
            at += end - i;
        } else {
            other = true;
            const auto &table = twoByteFolds();
            for (; i + 1 < end && (static_cast<unsigned char>(text[i]) & 0xE0) == 0xC0 && isContinuation(text[i + 1])
                   && static_cast<unsigned char>(text[i]) >= 0xC2;
                 i += 2) {
                const int c = (static_cast<unsigned char>(text[i]) & 0x1F) << 6 | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
                const QByteArray &folded = table[size_t(c - 0x80)];
                std::copy(folded.begin(), folded.end(), room(folded.size()));
                at += folded.size();
            }
            if (i < end) { // longer characters, or bytes that are no UTF-8
                const QByteArray &folded = cachedFold(text.sliced(i, end - i));
                std::copy(folded.begin(), folded.end(), room(folded.size()));
                at += folded.size();
            }
        }
        i = end;
    }
    if (at < out.size())
        out.truncate(at);
    if (other)
        trimWhite(out); // a run may have been or become white space
}

} // namespace TextFold
