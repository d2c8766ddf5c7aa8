#include "media/streamfacts.h"

#include "media/frameheader.h"
#include "media/id3v2.h"
#include "media/mediafile.h"
#include "store/extensionline.h"

#include <QtEndian>

#include <xxhash.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace StreamFacts {

namespace {

// The first frame as its header describes it.
struct Frame
{
    bool mpeg1 = false;
    int layer = 0;
    int kbps = 0; // 0 for free format: the frame's length is not known
    int rate = 0;
    bool padded = false;
    bool mono = false;

    int samples() const { return layer == 1 ? 384 : (layer == 2 || mpeg1) ? 1152 : 576; }
    qint64 bytes() const
    {
        if (layer == 1)
            return (12 * qint64(kbps) * 1000 / rate + padded) * 4;
        const int perKbit = layer == 3 && !mpeg1 ? 72 : 144;
        return perKbit * qint64(kbps) * 1000 / rate + padded;
    }
};

// The header's fields, by the frame header code's own tables.
std::optional<Frame> decodeFrame(QByteArrayView four)
{
    if (!FrameHeader::isFrameHeader(four))
        return std::nullopt;
    const QString bits = QString::fromLatin1(FrameHeader::bitsTextUtf8(four));
    const auto at = [&bits](int position, int length) { return bits.mid(position - 1, length); };
    const QString versionBits = at(13, 2);
    const QString version = versionBits == u"11" ? QStringLiteral("1")
                            : versionBits == u"10" ? QStringLiteral("2")
                                                   : QStringLiteral("2.5");
    Frame frame;
    frame.mpeg1 = version == u"1";
    frame.layer = 4 - at(15, 2).toInt(nullptr, 2);
    const QString layer = QString::number(frame.layer);
    frame.kbps = FrameHeader::bitrateText(frame.mpeg1 ? version : QStringLiteral("2"), layer, at(19, 4)).toInt();
    frame.rate = FrameHeader::sampleRateText(version, at(23, 2)).toInt();
    frame.padded = at(25, 1) == u"1";
    frame.mono = at(28, 2) == u"11";
    if (frame.rate <= 0)
        return std::nullopt;
    return frame;
}

// What a Xing, Info or VBRI header in the first frame says.
struct StreamHeader
{
    enum Kind { None, Xing, Info, Vbri } kind = None;
    quint32 frames = 0; // 0: no count
    QString encoder;
    int method = 0;     // the LAME tag's bitrate method
    qint64 trimmed = 0; // samples the encoder added at the start and the end
};

quint32 bigEndian32(QByteArrayView bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.data() + at);
}

// The encoder's name at the start of a LAME tag: its printable ASCII,
// without blanks around it.
QString encoderName(QByteArrayView nine)
{
    const auto end = std::find_if(nine.begin(), nine.end(), [](char c) { return c < 0x20 || c > 0x7E; });
    return QString::fromLatin1(QByteArrayView(nine.begin(), end)).trimmed();
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
    header.trimmed = (b(21) << 4 | b(22) >> 4) + ((b(22) & 0x0F) << 8 | b(23));
}

// The Xing or Info header after the side information, or the VBRI
// header at its fixed place; frame holds the first frame and what follows.
StreamHeader readStreamHeader(QByteArrayView frame, const Frame &info)
{
    // The headers stand where layer III frames have their side information,
    // whatever the layer.
    StreamHeader header;
    const qsizetype xing = 4 + (info.mpeg1 ? (info.mono ? 17 : 32) : (info.mono ? 9 : 17));
    constexpr qsizetype Vbri = 4 + 32;
    if (xing + 8 <= frame.size() && (frame.sliced(xing, 4) == "Xing" || frame.sliced(xing, 4) == "Info")) {
        header.kind = frame.sliced(xing, 4) == "Xing" ? StreamHeader::Xing : StreamHeader::Info;
        const quint32 flags = bigEndian32(frame, xing + 4);
        qsizetype at = xing + 8;
        if (flags & 1 && at + 4 <= frame.size())
            header.frames = bigEndian32(frame, at);
        for (const auto &[flag, bytes] : {std::pair{1u, 4}, {2u, 4}, {4u, 100}, {8u, 4}})
            at += flags & flag ? bytes : 0;
        readLameTag(frame, at, header);
    } else if (Vbri + 18 <= frame.size() && frame.sliced(Vbri, 4) == "VBRI") {
        header.kind = StreamHeader::Vbri;
        header.frames = bigEndian32(frame, Vbri + 14);
    }
    return header;
}

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

// Playing time and average bitrate: from the header's frame count when it
// has one that the audio's length can hold, else (without a header) from
// the length and the first frame's bitrate.
void timeAndBitrate(const Frame &frame, const StreamHeader &header, Facts &facts)
{
    // Frames are never shorter or longer than these (free format included).
    constexpr qint64 ShortestFrame = 24, LongestFrame = 2881;
    const qint64 length = facts.audioLength;
    if (header.kind == StreamHeader::None) {
        if (frame.kbps <= 0)
            return;
        facts.kbps = frame.kbps;
        facts.tenths = roundedDivision(double(length) * 80, double(frame.kbps) * 1000);
        return;
    }
    const qint64 headerFrame = frame.kbps > 0 && frame.bytes() < length ? frame.bytes() : 0;
    const qint64 body = length - headerFrame;
    const qint64 frames = header.frames;
    if (frames == 0 || frames * ShortestFrame > body || frames * LongestFrame < body)
        return;
    const qint64 samples = frames * frame.samples();
    const qint64 played = header.trimmed < samples ? samples - header.trimmed : samples;
    facts.tenths = roundedDivision(double(played) * 10, frame.rate);
    if (facts.mode == Mode::Cbr && frame.kbps > 0)
        facts.kbps = frame.kbps;
    else
        facts.kbps = int(roundedDivision(double(body) * 8 * frame.rate, double(samples) * 1000));
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
    const QByteArrayView searched = parts.head.first(std::min<qsizetype>(parts.head.size(), FrameSearchBytes + 3));
    qsizetype at = FrameHeader::findFrameHeader(searched);
    if (at >= 0 && parts.tagsEnd + at + 4 > parts.audioEnd)
        at = -1; // in the tags at the end
    facts.audioStart = parts.tagsEnd + std::max<qsizetype>(at, 0);
    facts.audioLength = std::max<qint64>(0, parts.audioEnd - facts.audioStart);
    hashAudio(parts, facts);
    const std::optional<Frame> frame = at >= 0 ? decodeFrame(parts.head.sliced(at, 4)) : std::nullopt;
    if (!frame)
        return facts;
    const QByteArrayView audio = parts.head.sliced(at).first(std::min<qint64>(parts.head.size() - at, facts.audioLength));
    const StreamHeader header = readStreamHeader(audio, *frame);
    facts.rate = frame->rate;
    facts.mode = modeOf(header);
    facts.encoder = header.encoder;
    timeAndBitrate(*frame, header, facts);
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

QString aidText(quint64 aid)
{
    return QStringLiteral("%1").arg(aid, 16, 16, QLatin1Char('0'));
}

QByteArray extensionLine(qint64 size, qint64 mtime, const std::optional<Facts> &facts)
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
    }
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
