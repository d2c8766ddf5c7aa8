#include "media/streamfacts.h"

#include "media/frameheader.h"
#include "media/framerun.h"
#include "media/streamheader.h"
#include "media/id3v2.h"
#include "media/mediafile.h"
#include "catalogue/extensionline.h"

#include <QtEndian>

#include <xxhash.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace StreamFacts {

namespace {

using FrameHeader::Frame;

Mode modeOf(const StreamHeader &header)
{
    switch (header.kind) {
    case StreamHeader::Xing:
        if (header.method == 2 || header.method == 9)
            return Mode::Abr;
        return header.method == 1 || header.method == 8 ? Mode::Cbr : Mode::Vbr;
    case StreamHeader::Vbri:
        return Mode::Vbr;
    default:
        return Mode::Cbr;
    }
}

qint64 roundedDivision(double numerator, double denominator)
{
    return std::llround(numerator / denominator);
}

// Without a header the time is worked out from the audio's length: at the
// first frame's bitrate when the frames seen all have it (exact for a
// clean CBR stream, but its middle is never read), else at the frames'
// average size, as VBR. Either way an estimate.
void estimateWithoutHeader(const Frame &frame, const FrameRun::Seen &seen, Facts &facts)
{
    const qint64 length = facts.audioLength;
    if (seen.frames > 0 && seen.lowest != seen.highest) {
        facts.mode = Mode::Vbr;
        facts.tenths = std::llround(seen.secondsOf(length) * 10);
        facts.kbps = int(std::llround(double(seen.bytes) * 8 / seen.seconds / 1000));
    } else if (frame.kbps > 0) {
        facts.kbps = frame.kbps;
        facts.tenths = roundedDivision(double(length) * 80, double(frame.kbps) * 1000);
    } else {
        return;
    }
    facts.estimated = true;
}

// Playing time and average bitrate from the header's frame count, when
// the audio's length can hold that many frames. When the header's byte
// count misses the audio's length by more than two frames, the time is
// that of the bytes present instead: the file was cut short, or more
// audio (such as a second stream) follows the one the header counts.
void timeFromHeader(const Frame &frame, const StreamHeader &header, QByteArrayView tail, Facts &facts)
{
    // Frames are never shorter or longer than these (free format included).
    constexpr qint64 ShortestFrame = 24, LongestFrame = 2881;
    const qint64 length = facts.audioLength;
    const qint64 headerFrame = frame.kbps > 0 && frame.bytes() < length ? frame.bytes() : 0;
    const qint64 body = length - headerFrame;
    const qint64 frames = header.frames;
    if (frames == 0 || frames * ShortestFrame > body || frames * LongestFrame < body)
        return;
    const qint64 samples = frames * frame.samples();
    double played = double(header.trimmed < samples ? samples - header.trimmed : samples);
    double coded = double(samples); // the frames' samples, and their bytes, for the bitrate
    qint64 codedBytes = body;
    if (header.bytes > headerFrame) {
        const double average = double(header.bytes - headerFrame) / double(frames);
        const qint64 beyond = length - qint64(header.bytes);
        if (beyond < -2 * average) {
            facts.damage = Damage::Short;
            coded = double(body) / average * frame.samples();
            played = std::max(0.0, coded - double(header.delay));
        } else if (beyond > 2 * average) {
            if (const FrameRun::Seen after = FrameRun::atEnd(tail); after.frames > 0) {
                facts.damage = Damage::Long; // frames run to the end: audio
                const double more = after.secondsOf(beyond) * frame.rate;
                coded += more;
                played += more;
            } else {
                codedBytes = header.bytes - headerFrame; // junk after the stream
            }
        }
    }
    facts.estimated = facts.damage != Damage::None;
    facts.tenths = std::llround(played * 10 / frame.rate);
    if (facts.mode == Mode::Cbr && frame.kbps > 0 && !facts.estimated)
        facts.kbps = frame.kbps;
    else if (coded > 0)
        facts.kbps = int(std::llround(double(codedBytes) * 8 * frame.rate / (coded * 1000)));
}

// The identity: the audio's length, then its first and last edge.
void hashAudio(const Parts &parts, Facts &facts)
{
    const qint64 edge = std::min(EdgeBytes, facts.audioLength);
    const qint64 first = facts.audioStart - parts.tagsEnd;
    if (edge <= 0 || first < 0 || first + edge > parts.head.size() || edge > parts.tail.size())
        return;
    const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(), &XXH3_freeState);
    const quint64 length = qToLittleEndian(quint64(facts.audioLength));
    if (!state || XXH3_64bits_reset(state.get()) != XXH_OK)
        return;
    XXH3_64bits_update(state.get(), &length, sizeof length);
    XXH3_64bits_update(state.get(), parts.head.data() + first, size_t(edge));
    XXH3_64bits_update(state.get(), parts.tail.data() + parts.tail.size() - edge, size_t(edge));
    facts.aid = XXH3_64bits_digest(state.get());
    facts.hasAid = true;
}

} // namespace

Facts factsOf(const Parts &parts)
{
    Facts facts;
    // The first frame is one that the next frame follows, before the tags
    // at the end.
    const QByteArrayView head = parts.head.first(std::clamp<qint64>(parts.audioEnd - parts.tagsEnd, 0, parts.head.size()));
    qsizetype at = FrameHeader::findFrameHeader(head);
    if (at >= FrameSearchBytes)
        at = -1;
    facts.audioStart = parts.tagsEnd + std::max<qsizetype>(at, 0);
    facts.audioLength = std::max<qint64>(0, parts.audioEnd - facts.audioStart);
    hashAudio(parts, facts);
    if (at < 0)
        return facts;
    const Frame frame = *FrameHeader::decodeFrame(head.sliced(at, 4));
    const QByteArrayView audio = head.sliced(at);
    const StreamHeader header = readStreamHeader(audio, frame);
    facts.rate = frame.rate;
    facts.mode = modeOf(header);
    facts.encoder = header.encoder;
    if (header.kind != StreamHeader::None) {
        timeFromHeader(frame, header, parts.tail, facts);
        return facts;
    }
    // The frames at the start, and those at the end unless the head holds
    // them all.
    FrameRun::Seen seen;
    qsizetype walked = 0;
    FrameRun::walk(audio, walked, seen);
    if (facts.audioLength > audio.size())
        seen.add(FrameRun::atEnd(parts.tail));
    estimateWithoutHeader(frame, seen, facts);
    return facts;
}

qint64 endTagSize(QByteArrayView bytes, bool atFileEnd)
{
    constexpr qsizetype Id3v1Bytes = 128, ApeFooterBytes = 32, LyricsEnd = 15;
    const qsizetype size = bytes.size();
    if (atFileEnd && size >= Id3v1Bytes && bytes.sliced(size - Id3v1Bytes, 3) == "TAG")
        return Id3v1Bytes;
    if (size >= ApeFooterBytes && bytes.sliced(size - ApeFooterBytes, 8) == "APETAGEX") {
        const char *footer = bytes.data() + size - ApeFooterBytes;
        const quint32 tagBytes = qFromLittleEndian<quint32>(footer + 12); // the items and the footer
        const bool hasHeader = qFromLittleEndian<quint32>(footer + 20) & 0x80000000u;
        return tagBytes < ApeFooterBytes ? 0 : qint64(tagBytes) + (hasHeader ? ApeFooterBytes : 0);
    }
    if (size >= LyricsEnd && bytes.last(9) == "LYRICS200") {
        const QByteArrayView digits = bytes.sliced(size - LyricsEnd, 6);
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return 0;
        return digits.toByteArray().toLongLong() + LyricsEnd;
    }
    return 0;
}

QString durationText(qint64 tenths)
{
    return QString::number(tenths / 10) + u'.' + QString::number(tenths % 10);
}

QString modeText(Mode mode)
{
    switch (mode) {
    case Mode::Vbr:
        return QStringLiteral("vbr");
    case Mode::Abr:
        return QStringLiteral("abr");
    default:
        return QStringLiteral("cbr");
    }
}

QString damageText(Damage damage)
{
    switch (damage) {
    case Damage::Short:
        return QStringLiteral("short");
    case Damage::Long:
        return QStringLiteral("long");
    default:
        return {};
    }
}

QString aidText(quint64 aid)
{
    return QStringLiteral("%1").arg(aid, 16, 16, QLatin1Char('0'));
}

QByteArray extensionLine(qint64 size, qint64 mtime, const std::optional<Facts> &facts, TrackNumbers numbers)
{
    ExtensionLine::Facts line;
    line.set("size", QByteArray::number(size));
    line.set("mtime", QByteArray::number(mtime));
    if (facts) {
        if (facts->tenths)
            line.set("dur", durationText(*facts->tenths).toLatin1());
        if (facts->kbps)
            line.set("kbps", QByteArray::number(*facts->kbps));
        if (facts->mode)
            line.set("mode", modeText(*facts->mode).toLatin1());
        if (facts->rate)
            line.set("rate", QByteArray::number(*facts->rate));
        if (!facts->encoder.isEmpty())
            line.set("enc", facts->encoder.toUtf8());
        if (facts->hasAid)
            line.set("aid", aidText(facts->aid).toLatin1());
        if (facts->tenths && facts->estimated)
            line.set("est", "1");
        if (facts->damage != Damage::None)
            line.set("dmg", damageText(facts->damage).toLatin1());
    }
    if (numbers.track)
        line.set("trk", QByteArray::number(numbers.track));
    if (numbers.disc)
        line.set("disc", QByteArray::number(numbers.disc));
    return ExtensionLine::format(line);
}

namespace {

// A file may begin with more than one ID3v2 tag, and end with more than
// one tag; a few are taken, not more.
constexpr int MostTags = 4;
// Bytes that hold the end of any tag at the end: ID3v1's 128 and more.
constexpr qint64 EndTagLook = 160;

// Reads count bytes at offset, all of them: fewer means the file changed.
bool readExactly(const ByteSource &file, qint64 offset, qint64 count, QByteArray &out)
{
    return file.readAt(offset, count, out) && out.size() == count;
}

// Skips the ID3v2 tags at the start by their sizes; head is left holding
// the bytes from tagsEnd (HeadBytes, or up to the end of the file).
bool readHead(const ByteSource &file, qint64 &tagsEnd, QByteArray &head)
{
    const qint64 size = file.size();
    qint64 headAt = 0;
    if (!readExactly(file, 0, std::min(HeadBytes, size), head))
        return false;
    for (int i = 0; i < MostTags && tagsEnd < size; ++i) {
        const qint64 tag = Id3v2::tagSize(QByteArrayView(head).sliced(tagsEnd - headAt));
        if (tag == 0)
            break;
        tagsEnd = std::min(tagsEnd + tag, size);
        const qint64 want = std::min(HeadBytes, size - tagsEnd);
        if (tagsEnd + want > headAt + head.size()) {
            headAt = tagsEnd;
            if (!readExactly(file, headAt, want, head))
                return false;
        }
    }
    head.remove(0, tagsEnd - headAt);
    head.truncate(std::min(HeadBytes, size - tagsEnd));
    return true;
}

// Finds the tags at the end by their sizes, down to tagsEnd at most, and
// reads the audio's last edge into tail.
bool readTail(const ByteSource &file, qint64 tagsEnd, qint64 &audioEnd, QByteArray &tail)
{
    audioEnd = file.size();
    qint64 tailAt = std::max(tagsEnd, audioEnd - TailBytes);
    if (!readExactly(file, tailAt, audioEnd - tailAt, tail))
        return false;
    for (int i = 0; i < MostTags; ++i) {
        if (audioEnd - tailAt < EndTagLook && tailAt > tagsEnd) {
            tailAt = std::max(tagsEnd, audioEnd - TailBytes);
            if (!readExactly(file, tailAt, audioEnd - tailAt, tail))
                return false;
        }
        const QByteArrayView before = QByteArrayView(tail).first(audioEnd - tailAt);
        const qint64 tag = endTagSize(before, audioEnd == file.size());
        if (tag == 0 || tag > audioEnd - tagsEnd)
            break;
        audioEnd -= tag;
    }
    const qint64 edgeAt = audioEnd - std::min(EdgeBytes, audioEnd - tagsEnd);
    if (edgeAt < tailAt) {
        tailAt = edgeAt;
        if (!readExactly(file, tailAt, audioEnd - tailAt, tail))
            return false;
    }
    tail.truncate(audioEnd - tailAt);
    tail.remove(0, edgeAt - tailAt);
    return true;
}

} // namespace

std::optional<Facts> readStreamFacts(const ByteSource &file)
{
    qint64 tagsEnd = 0;
    qint64 audioEnd = 0;
    // Each reading thread reuses its buffers: a file costs no allocation.
    thread_local QByteArray head;
    thread_local QByteArray tail;
    if (!readHead(file, tagsEnd, head) || !readTail(file, tagsEnd, audioEnd, tail))
        return std::nullopt;
    return factsOf({file.size(), tagsEnd, head, audioEnd, tail});
}

std::optional<Facts> readStreamFacts(const QString &path)
{
    const MediaFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    return readStreamFacts(file);
}

} // namespace StreamFacts
