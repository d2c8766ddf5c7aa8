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

// value as length bytes, most significant first.
inline QByteArray bigEndianBytes(quint32 value, int length)
{
    QByteArray out(length, 0);
    for (int i = length - 1; i >= 0; --i) {
        out[i] = char(value & 0xFF);
        value >>= 8;
    }
    return out;
}

// One frame of an ID3v2 tag of the given major version (2, 3 or 4): its
// id (three letters for 2.2), its size and no flags, then data.
inline QByteArray id3v2Frame(int version, const QByteArray &id, const QByteArray &data)
{
    if (version == 2)
        return id + bigEndianBytes(quint32(data.size()), 3) + data;
    const QByteArray size = version == 4 ? synchsafe(quint32(data.size())) : bigEndianBytes(quint32(data.size()), 4);
    return id + size + QByteArray(2, '\0') + data;
}

// A text frame: the encoding byte, then the text.
inline QByteArray id3v2TextFrame(int version, const QByteArray &id, char encoding, const QByteArray &text)
{
    return id3v2Frame(version, id, encoding + text);
}

// A whole ID3v2 tag of the given major version around frames, with padding.
inline QByteArray id3v2Tag(int version, const QByteArray &frames, int padding = 64)
{
    return "ID3" + QByteArray(1, char(version)) + QByteArray(2, '\0') + synchsafe(quint32(frames.size() + padding))
           + frames + QByteArray(padding, '\0');
}
