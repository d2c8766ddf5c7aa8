#pragma once

#include "id3bytes.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QtEndian>

// Bytes of MPEG audio streams and of the tags at the end of a file, built
// in code for tests: frames with a Xing, Info or VBRI header, LAME tags,
// APE and Lyrics3 v2 tags.

// count bytes that follow from seed, never 0xFF (so no frame header hides in
// them).
inline QByteArray audioBytes(qsizetype count, quint32 seed = 1)
{
    QRandomGenerator random(seed);
    QByteArray out(count, Qt::Uninitialized);
    for (char &c : out)
        c = char(random.bounded(0xFF));
    return out;
}

// count frames of frameBytes bytes each: header, then bytes from
// audioBytes. Each frame follows the one before where its length says.
inline QByteArray frames(const QByteArray &header, qsizetype frameBytes, int count, quint32 seed = 1)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += header + audioBytes(frameBytes - header.size(), seed + quint32(i));
    return out;
}

// A frame of frameBytes bytes that starts with header (four bytes) and puts
// at offset the given bytes; the rest is zero.
inline QByteArray frameWith(const QByteArray &header, qsizetype frameBytes, qsizetype offset = 0,
                            const QByteArray &bytes = {})
{
    QByteArray frame = header + QByteArray(frameBytes - header.size(), '\0');
    frame.replace(offset, bytes.size(), bytes);
    return frame;
}

// A LAME tag: the encoder's name (nine bytes), the bitrate method, and the
// samples added at the start and the end.
inline QByteArray lameTag(const QByteArray &encoder, int method, int delay, int padding)
{
    QByteArray tag = encoder.leftJustified(9, '\0', true) + char(method) + QByteArray(26, '\0');
    tag[21] = char(delay >> 4);
    tag[22] = char((delay & 0x0F) << 4 | padding >> 8);
    tag[23] = char(padding & 0xFF);
    return tag;
}

// A Xing or Info header ("Xing"/"Info") with a frame count (flag 1) and
// the byte count (0: none), table of contents and quality (flags 2, 4, 8)
// when all is set, then lame (a LAME tag, or nothing).
inline QByteArray xingHeader(const QByteArray &id, quint32 frames, bool all = true, const QByteArray &lame = {},
                             quint32 bytes = 0)
{
    QByteArray header = id + bigEndianBytes(all ? 15 : 1, 4) + bigEndianBytes(frames, 4);
    if (all)
        header += bigEndianBytes(bytes, 4) + QByteArray(100 + 4, '\0');
    return header + lame;
}

// A VBRI header (always 32 bytes after the frame header) with a frame count.
inline QByteArray vbriHeader(quint32 frames)
{
    return "VBRI" + QByteArray(10, '\0') + bigEndianBytes(frames, 4) + QByteArray(8, '\0');
}

// An APE tag of items bytes, with a footer and, when asked, a header.
inline QByteArray apeTag(const QByteArray &items, bool withHeader)
{
    const auto part = [&](bool isHeader) {
        QByteArray bytes("APETAGEX");
        const quint32 flags = (withHeader ? 0x80000000u : 0) | (isHeader ? 0x20000000u : 0);
        for (quint32 value : {2000u, quint32(items.size() + 32), 1u, flags}) {
            const quint32 little = qToLittleEndian(value);
            bytes += QByteArray(reinterpret_cast<const char *>(&little), 4);
        }
        return bytes + QByteArray(8, '\0');
    };
    return (withHeader ? part(true) : QByteArray()) + items + part(false);
}

// A Lyrics3 v2 tag around fields: its size in six digits, then "LYRICS200".
inline QByteArray lyrics3Tag(const QByteArray &fields)
{
    const QByteArray body = "LYRICSBEGIN" + fields;
    return body + QByteArray::number(body.size()).rightJustified(6, '0') + "LYRICS200";
}
