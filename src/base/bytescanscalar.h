#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The plain references of the scans of base/bytescan.h, a byte at a time:
// the tests hold each scan to its reference, and the scans use them for
// the last few bytes.
namespace ByteScan {

inline bool isAscii(char c)
{
    return static_cast<unsigned char>(c) < 0x80;
}

// A byte inside a UTF-8 sequence, after its first.
inline bool isContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A C0 control (tab and line breaks among them), DEL or a backslash: the
// bytes a line of text output writes escaped, so that none a terminal acts
// on reaches it raw.
inline bool needsEscape(char c)
{
    const auto u = quint8(c);
    return u < 0x20 || u == 0x7F || c == '\\';
}

// The byte-by-byte references of the scans below.
namespace Scalar {

inline const char *findLineEnd(const char *p, const char *end)
{
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

inline const char *findLineBreakStart(const char *p, const char *end)
{
    const auto mayBegin = [](char c) {
        const auto u = quint8(c);
        return (u >= 0x0A && u <= 0x0D) || u == 0xC2 || u == 0xE2;
    };
    while (p < end && !mayBegin(*p))
        ++p;
    return p;
}

inline qint64 countLineEnds(const char *p, const char *end, bool &afterCR)
{
    qint64 count = 0;
    for (; p < end; ++p) {
        if (*p == '\r' || (*p == '\n' && !afterCR))
            ++count;
        afterCR = *p == '\r';
    }
    return count;
}

inline char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// Whether needle (lower case) stands at p, case aside.
inline bool startsFolded(const char *p, QByteArrayView needle)
{
    for (qsizetype i = 0; i < needle.size(); ++i) {
        if (lowerAscii(p[i]) != needle[i])
            return false;
    }
    return true;
}

inline const char *findFolded(const char *p, const char *end, QByteArrayView needle)
{
    for (; end - p >= needle.size(); ++p) {
        if (startsFolded(p, needle))
            return p;
    }
    return end;
}

inline bool isAscii(const char *p, qsizetype n)
{
    unsigned char bits = 0;
    for (qsizetype i = 0; i < n; ++i)
        bits |= static_cast<unsigned char>(p[i]);
    return bits < 0x80;
}

inline const char *findNonAscii(const char *p, const char *end)
{
    while (p < end && static_cast<unsigned char>(*p) < 0x80)
        ++p;
    return p;
}

inline qsizetype plainRun(const char *text, qsizetype size)
{
    qsizetype i = 0;
    while (i < size && !needsEscape(text[i]))
        ++i;
    return i;
}

inline bool copyPlain(char *out, const char *in, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (needsEscape(in[i]))
            return false;
        out[i] = in[i];
    }
    return true;
}

} // namespace Scalar

} // namespace ByteScan
