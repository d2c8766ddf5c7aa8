#pragma once

#include <QByteArrayView>

#include <algorithm>

// Runs of MPEG audio frames in bytes read from a stream, each frame where
// the one before it ends, as the stream facts count them in the parts of a
// file they read.
namespace FrameRun {

// Frames seen: how many, their bytes and playing time, and their lowest
// and highest bitrate.
struct Seen
{
    qint64 frames = 0;
    qint64 bytes = 0;
    double seconds = 0;
    int lowest = 0;
    int highest = 0;

    void add(const Seen &other)
    {
        if (other.frames == 0)
            return;
        lowest = frames == 0 ? other.lowest : std::min(lowest, other.lowest);
        highest = std::max(highest, other.highest);
        frames += other.frames;
        bytes += other.bytes;
        seconds += other.seconds;
    }
    // The playing time of length bytes of frames like these.
    double secondsOf(qint64 length) const { return double(length) * seconds / double(bytes); }
};

// Counts the whole frames that follow each other from at in bytes, each
// where the one before ends, and leaves at where they stop. True when they
// run to the end of bytes (the last one may be cut by it).
bool walk(QByteArrayView bytes, qsizetype &at, Seen &seen);
// The frames that end the audio, in its last bytes: from the first header
// from which frames run to the end. None when the audio ends in anything
// else (junk, or a tag this reader does not know).
Seen atEnd(QByteArrayView tail);

} // namespace FrameRun
