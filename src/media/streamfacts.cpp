#include "media/streamfacts.h"

#include "media/frameheader.h"
#include "media/framerun.h"
#include "media/streamheader.h"
#include "catalogue/extensionline.h"

#include <QtEndian>

// The state's size is known here, so it lives on the stack: no allocation a file.
#define XXH_STATIC_LINKING_ONLY
#include <xxhash.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

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
    XXH3_state_t state;
    XXH3_INITSTATE(&state);
    const quint64 length = qToLittleEndian(quint64(facts.audioLength));
    if (XXH3_64bits_reset(&state) != XXH_OK)
        return;
    XXH3_64bits_update(&state, &length, sizeof length);
    XXH3_64bits_update(&state, parts.head.data() + first, size_t(edge));
    XXH3_64bits_update(&state, parts.tail.data() + parts.tail.size() - edge, size_t(edge));
    facts.aid = XXH3_64bits_digest(&state);
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
    facts.encoder = QString::fromLatin1(header.encoder);
    if (header.kind != StreamHeader::None) {
        timeFromHeader(frame, header, parts.tail, facts);
        return facts;
    }
    // The frames at the start, and those at the end unless the head holds
    // them all.
    FrameRun::Seen seen;
    if (parts.headRun && audio.size() == parts.head.size()) {
        seen = *parts.headRun;
    } else {
        qsizetype walked = 0;
        FrameRun::walk(audio, walked, seen);
    }
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

namespace {

// The facts' words and numbers as the extension line writes them; the
// texts for people are made of the same.
QByteArrayView modeWord(Mode mode)
{
    switch (mode) {
    case Mode::Vbr:
        return "vbr";
    case Mode::Abr:
        return "abr";
    default:
        return "cbr";
    }
}

QByteArrayView damageWord(Damage damage)
{
    switch (damage) {
    case Damage::Short:
        return "short";
    case Damage::Long:
        return "long";
    default:
        return {};
    }
}

// Seconds with one decimal ("215.4") into digits; the bytes written.
QByteArrayView durationDigits(qint64 tenths, std::array<char, 24> &digits)
{
    char *end = std::to_chars(digits.data(), digits.data() + digits.size() - 2, tenths / 10).ptr;
    *end++ = '.';
    *end++ = char('0' + tenths % 10);
    return QByteArrayView(digits.data(), end - digits.data());
}

// 16 lowercase hexadecimal digits.
QByteArrayView aidDigits(quint64 aid, std::array<char, 24> &digits)
{
    static constexpr char Hex[] = "0123456789abcdef";
    for (int i = 15; i >= 0; --i, aid >>= 4)
        digits[size_t(i)] = Hex[aid & 0xF];
    return QByteArrayView(digits.data(), 16);
}

// The encoder's name, most often a few ASCII letters taken from the LAME
// tag: written from the stack, without a converted copy.
void addEncoder(ExtensionLine::LineBuilder &line, const QString &encoder)
{
    std::array<char, 16> ascii;
    const bool plain = encoder.size() <= qsizetype(ascii.size())
                       && std::all_of(encoder.begin(), encoder.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (!plain)
        return line.add("enc", encoder.toUtf8());
    std::transform(encoder.begin(), encoder.end(), ascii.begin(), [](QChar c) { return char(c.unicode()); });
    line.add("enc", QByteArrayView(ascii.data(), encoder.size()));
}

} // namespace

QString durationText(qint64 tenths)
{
    std::array<char, 24> digits;
    return QString::fromLatin1(durationDigits(tenths, digits));
}

QString modeText(Mode mode)
{
    return QString::fromLatin1(modeWord(mode));
}

QString damageText(Damage damage)
{
    return QString::fromLatin1(damageWord(damage));
}

QString aidText(quint64 aid)
{
    std::array<char, 24> digits;
    return QString::fromLatin1(aidDigits(aid, digits));
}

QByteArray extensionLine(qint64 size, qint64 mtime, const std::optional<Facts> &facts, TrackNumbers numbers,
                         QByteArrayView art)
{
    QByteArray out;
    writeExtensionLine(out, size, mtime, facts, numbers, art);
    return out;
}

void writeExtensionLine(QByteArray &out, qint64 size, qint64 mtime, const std::optional<Facts> &facts,
                        TrackNumbers numbers, QByteArrayView art)
{
    ExtensionLine::LineBuilder line(out); // makes room for the usual line whole at once
    std::array<char, 24> digits;
    line.add("size", size);
    line.add("mtime", mtime);
    if (facts) {
        if (facts->tenths)
            line.add("dur", durationDigits(*facts->tenths, digits));
        if (facts->kbps)
            line.add("kbps", *facts->kbps);
        if (facts->mode)
            line.add("mode", modeWord(*facts->mode));
        if (facts->rate)
            line.add("rate", *facts->rate);
        if (!facts->encoder.isEmpty())
            addEncoder(line, facts->encoder);
        if (facts->hasAid)
            line.add("aid", aidDigits(facts->aid, digits));
        if (facts->tenths && facts->estimated)
            line.add("est", "1");
        if (facts->damage != Damage::None)
            line.add("dmg", damageWord(facts->damage));
    }
    if (numbers.track)
        line.add("trk", numbers.track);
    if (numbers.disc)
        line.add("disc", numbers.disc);
    if (!art.isEmpty())
        line.add(ExtensionLine::ArtKey, art);
}

} // namespace StreamFacts
