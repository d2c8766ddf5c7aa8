#pragma once

#include <QByteArray>

// A 28-bit size as the four 7-bit bytes of an ID3v2 header, most
// significant first: the form test fixtures and benchmarks write tags in.
inline QByteArray synchsafe(quint32 value)
{
    QByteArray out(4, 0);
    for (int i = 3; i >= 0; --i) {
        out[i] = char(value & 0x7F);
        value >>= 7;
    }
    return out;
}
