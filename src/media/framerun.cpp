#include "media/framerun.h"

#include "media/frameheader.h"

#include <QtEndian>

#include <algorithm>
#include <optional>

namespace FrameRun {

using FrameHeader::Frame;

// Counts the whole frames that follow each other from at in bytes, each
// where the one before ends, and leaves at where they stop. True when they
// run to the end of bytes (the last one may be cut by it).
bool walk(QByteArrayView bytes, qsizetype &at, Seen &seen)
{
    Seen run; // one stream: one sample rate
    qint64 samples = 0;
    int rate = 0;
    QByteArrayView previous;
    // The frames of a stream mostly repeat one header but for its padding
    // bit: one that does is not decoded again.
    constexpr quint32 PaddingBit = 0x200;
    std::optional<Frame> frame;
    quint32 decodedBits = 0;
    // The decoded header's frame length without padding, and its padding:
    // worked out (a division) once for the header, not for every frame.
    qint64 plainBytes = 0;
    qint64 paddingBytes = 0;
    bool toTheEnd = true;
    while (at + 4 <= bytes.size()) {
        const QByteArrayView header = bytes.sliced(at, 4);
        const quint32 bits = qFromBigEndian<quint32>(header.data());
        if (frame && (bits | PaddingBit) == (decodedBits | PaddingBit)) {
            frame->padded = bits & PaddingBit;
        } else {
            frame = FrameHeader::decodeFrame(header);
            if (!frame || frame->kbps == 0 || (!previous.isEmpty() && !FrameHeader::sameStream(previous, header))) {
                toTheEnd = false;
                break;
            }
            decodedBits = bits;
            Frame plain = *frame;
            plain.padded = false;
            plainBytes = plain.bytes();
            plain.padded = true;
            paddingBytes = plain.bytes() - plainBytes;
        }
        const qint64 length = plainBytes + (frame->padded ? paddingBytes : 0);
        if (at + length > bytes.size())
            break;
        run.lowest = run.frames == 0 ? frame->kbps : std::min(run.lowest, frame->kbps);
        run.highest = std::max(run.highest, frame->kbps);
        ++run.frames;
        run.bytes += length;
        samples += frame->samples();
        rate = frame->rate;
        at += length;
        previous = header;
    }
    if (run.frames > 0) {
        run.seconds = double(samples) / rate;
        seen.add(run);
    }
    return toTheEnd;
}

// The frames that end the audio, in its last bytes: from the first header
// from which frames run to the end. None when the audio ends in anything
// else (junk, or a tag this reader does not know).
Seen atEnd(QByteArrayView tail)
{
    for (qsizetype from = 0;;) {
        const qsizetype first = FrameHeader::findFrameHeader(tail, from);
        if (first < 0)
            return {};
        Seen seen;
        qsizetype at = first;
        if (walk(tail, at, seen))
            return seen;
        from = std::max(at, first + 1); // where the run broke may start another
    }
}

} // namespace FrameRun
