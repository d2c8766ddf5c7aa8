#include "base/oneline.h"

#include "base/bytescan.h"

#include <algorithm>

namespace OneLine {

namespace {

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
        const char *candidate = ByteScan::findLineBreakStart(p, end);
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
