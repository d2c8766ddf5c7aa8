#pragma once

#include "media/framerun.h"
#include "media/tracktags.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

class ByteSource;

// What a file's MPEG audio stream says about itself: playing time, average
// bitrate, constant, average or variable bitrate, sample rate and encoder,
// worked out from the first frame (one the next frame follows), its
// Xing/Info (with a LAME tag) or VBRI header when it has one, the length of
// the audio and the frames in the parts read at its start and end; and the audio's
// identity, a hash of its length and of its first and last EdgeBytes, so
// that copies with other tags are known as the same audio.
//
// A file is read in a few parts only (readStreamFacts): the ID3v2 tags at
// the start are skipped by their sizes, an edge is read where the audio
// begins (up to HeadBytes when the first frame is further in), and the
// last bytes of the file give the tags at the end (ID3v1, APE, Lyrics3 v2)
// by their sizes and the audio's last EdgeBytes.
namespace StreamFacts {

// Bytes of the audio hashed at each end.
constexpr qint64 EdgeBytes = 16 * 1024;
// The first frame is looked for in this many bytes after the ID3v2 tags.
constexpr qint64 FrameSearchBytes = 16 * 1024;
// Bytes read where the audio begins, at most: the search, then a whole
// edge. At first only an edge is read, which holds the first frame of
// almost every file; the rest only when it does not.
constexpr qint64 HeadBytes = FrameSearchBytes + EdgeBytes;
// Bytes that hold the end of any tag at the end: ID3v1's 128 and more.
constexpr qint64 EndTagLook = 160;
// Bytes read at the end of the file at first: an edge and an ID3v1 tag;
// longer tags at the end are read when their sizes are known.
constexpr qint64 TailBytes = EdgeBytes + EndTagLook;

// The parts of a file the facts are worked out from.
struct Parts
{
    qint64 fileSize = 0;
    qint64 tagsEnd = 0;   // where the ID3v2 tags at the start end
    QByteArrayView head;  // bytes from tagsEnd: an edge or more, fewer only when the file ends before
    qint64 audioEnd = 0;  // where the tags at the end begin (the file's size when it has none)
    QByteArrayView tail;  // the bytes that end at audioEnd: EdgeBytes, or all from tagsEnd when fewer
    // The frames from head's start, when its reader walked them already
    // (FrameRun::walk over all of head): not walked again.
    std::optional<FrameRun::Seen> headRun;
};

enum class Mode { Cbr, Vbr, Abr };
// A stream whose header counts fewer bytes than the audio holds (Short: the
// file was cut) or more (Long: more audio follows, such as a second stream).
enum class Damage { None, Short, Long };

struct Facts
{
    qint64 audioStart = 0;  // the first frame; tagsEnd when there is none
    qint64 audioLength = 0; // from audioStart to the tags at the end
    quint64 aid = 0;        // the audio identity (see aidText)
    bool hasAid = false;    // false when the parts do not hold the edges
    // From the first frame; unset when no frame was found, or (dur, kbps)
    // when neither a header nor the frame's bitrate gives them.
    std::optional<int> rate;       // samples per second
    std::optional<Mode> mode;
    // Playing time in tenths of a second: a header's frames times the
    // samples per frame, less the samples a LAME tag says the encoder added;
    // without a header, or with one the audio's length belies, estimated.
    std::optional<qint64> tenths;
    // Average bitrate: a CBR stream's frame bitrate, else the bytes after
    // the header's frame over the frames' time.
    std::optional<int> kbps;
    QString encoder;               // "LAME3.100"; empty when no header names one
    // The time is not a header's but worked out from the audio's length
    // and the frames seen at its start and end.
    bool estimated = false;
    Damage damage = Damage::None;

    bool operator==(const Facts &) const = default;
};

// The facts of the parts. Never reads outside them; any bytes give an
// answer, with the values it cannot be sure of unset.
Facts factsOf(const Parts &parts);

// The size of the tag at the end of bytes (the bytes that end where the
// tag would), 0 when none ends there: ID3v1 ("TAG", 128 bytes; only when
// atFileEnd), an APE tag (footer "APETAGEX", with its header when it has
// one) or a Lyrics3 v2 tag ("LYRICS200" and its size). Only the last 160
// bytes are looked at; the size may reach before the start of bytes.
qint64 endTagSize(QByteArrayView bytes, bool atFileEnd);

// The playing time as text: seconds with one decimal ("215.4").
QString durationText(qint64 tenths);
QString modeText(Mode mode);
// "short", "long"; empty for None.
QString damageText(Damage damage);
// The identity as 16 lowercase hexadecimal digits.
QString aidText(quint64 aid);

// The extension line a scan writes for a file of this size and
// modification time (seconds since 1970) and, when known, these facts:
// "ondro:1 size=... mtime=... dur=... kbps=... mode=... rate=... enc=... aid=...
// est=1 dmg=... trk=... disc=...", each fact only when known; est=1 when
// dur is estimated, dmg (short, long) when the stream's header and its
// length disagree, trk and disc the numbers the file's tags give.
QByteArray extensionLine(qint64 size, qint64 mtime, const std::optional<Facts> &facts, TrackNumbers numbers = {},
                         QByteArrayView art = {});
// The same into line, in its room when it shares it with nothing.
void writeExtensionLine(QByteArray &line, qint64 size, qint64 mtime, const std::optional<Facts> &facts,
                        TrackNumbers numbers = {}, QByteArrayView art = {});

// Reads the parts of the file at path (opened as MediaFile does, through
// the safe opener) and works out their facts; nothing when it cannot be
// opened or read, or changes size while it is read.
std::optional<Facts> readStreamFacts(const QString &path);
// The bytes the facts were read from, as they were read: views into the
// reading thread's buffers, valid until its next readStreamFacts. A scan's
// other readers of the file (the tags, the first header) take what they
// need from them rather than read it again.
struct Reads
{
    QByteArrayView start; // the file's first bytes, when no start was given and they could be read
    qint64 headAt = 0;
    QByteArrayView head;
    qint64 tailAt = 0;
    QByteArrayView tail; // up to the end of the file, tags included
};

// The same over a source already open, such as the scan's MediaFile;
// start, when given, holds the file's first bytes, read already, which
// are not read again. Without it the facts read the start themselves, and
// the bytes up to the audio's first edge onto its end when they follow.
std::optional<Facts> readStreamFacts(const ByteSource &file, QByteArrayView start = {}, Reads *reads = nullptr);

} // namespace StreamFacts
