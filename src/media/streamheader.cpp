#include "media/streamheader.h"

#include <QtEndian>

#include <algorithm>
#include <utility>

namespace {

quint32 bigEndian32(QByteArrayView bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.data() + at);
}

// The encoder's name at the start of a LAME tag: its printable ASCII,
// without blanks around it.
QByteArrayView encoderName(QByteArrayView nine)
{
    const auto end = std::find_if(nine.begin(), nine.end(), [](char c) { return c < 0x20 || c > 0x7E; });
    return QByteArrayView(nine.begin(), end).trimmed();
}

// The LAME tag that follows a Xing or Info header at lame in the frame.
void readLameTag(QByteArrayView frame, qsizetype lame, StreamHeader &header)
{
    constexpr qsizetype LameTagBytes = 36;
    if (lame + LameTagBytes > frame.size())
        return;
    header.encoder = encoderName(frame.sliced(lame, 9));
    if (header.encoder.size() < 4)
        return; // not a tag
    header.method = uchar(frame[lame + 9]) & 0x0F;
    const auto b = [&](int i) { return qint64(uchar(frame[lame + i])); };
    header.delay = b(21) << 4 | b(22) >> 4;
    header.trimmed = header.delay + ((b(22) & 0x0F) << 8 | b(23));
}

// The Xing or Info header after the side information, or the VBRI
// header at its fixed place; frame holds the first frame and what follows.
} // namespace

StreamHeader readStreamHeader(QByteArrayView frame, const FrameHeader::Frame &info)
{
    // The headers stand where layer III frames have their side information,
    // whatever the layer.
    StreamHeader header;
    const qsizetype xing = 4 + (info.mpeg1() ? (info.mono() ? 17 : 32) : (info.mono() ? 9 : 17));
    constexpr qsizetype Vbri = 4 + 32;
    if (xing + 8 <= frame.size() && (frame.sliced(xing, 4) == "Xing" || frame.sliced(xing, 4) == "Info")) {
        header.kind = frame.sliced(xing, 4) == "Xing" ? StreamHeader::Xing : StreamHeader::Info;
        const quint32 flags = bigEndian32(frame, xing + 4);
        qsizetype at = xing + 8;
        if (flags & 1 && at + 4 <= frame.size())
            header.frames = bigEndian32(frame, at);
        const qsizetype bytesAt = at + (flags & 1 ? 4 : 0);
        if (flags & 2 && bytesAt + 4 <= frame.size())
            header.bytes = bigEndian32(frame, bytesAt);
        for (const auto &[flag, bytes] : {std::pair{1u, 4}, {2u, 4}, {4u, 100}, {8u, 4}})
            at += flags & flag ? bytes : 0;
        readLameTag(frame, at, header);
    } else if (Vbri + 18 <= frame.size() && frame.sliced(Vbri, 4) == "VBRI") {
        header.kind = StreamHeader::Vbri;
        header.bytes = bigEndian32(frame, Vbri + 10);
        header.frames = bigEndian32(frame, Vbri + 14);
    }
    return header;
}
