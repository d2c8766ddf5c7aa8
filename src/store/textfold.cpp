#include "store/textfold.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <string>

namespace TextFold {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isAscii(QByteArrayView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

void fold(QByteArrayView utf8, QByteArray &out)
{
    qsizetype first = 0;
    qsizetype last = utf8.size();
    while (first < last && isBlank(utf8[first]))
        ++first;
    while (last > first && isBlank(utf8[last - 1]))
        --last;
    const QByteArrayView text = utf8.sliced(first, last - first);
    if (isAscii(text)) {
        out.resize(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = text[i];
            out[i] = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
        }
        return;
    }
    // ICU's full case folding: "ß" folds to "ss", which Qt's one-to-one
    // folding leaves alone.
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfkd = icu::Normalizer2::getNFKDInstance(status);
    icu::UnicodeString decomposed;
    if (U_SUCCESS(status))
        decomposed = nfkd->normalize(icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int(text.size()))),
                                     status);
    if (U_FAILURE(status))
        decomposed = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int(text.size())));
    icu::UnicodeString kept;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            kept.append(c);
        i += U16_LENGTH(c);
    }
    kept.foldCase(U_FOLD_CASE_DEFAULT).trim();
    std::string bytes;
    kept.toUTF8String(bytes);
    out = QByteArray(bytes.data(), qsizetype(bytes.size()));
}

} // namespace TextFold
