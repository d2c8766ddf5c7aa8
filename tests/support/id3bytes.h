#pragma once

#include <QByteArray>
#include <algorithm>
#include <QFile>
#include <QString>

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

// An attached picture frame (APIC; PIC in 2.2, whose format is three
// letters: "JPG"): the encoding, the MIME type or format, the picture type,
// the description (already in the encoding) with its terminator, the image.
inline QByteArray id3v2PictureFrame(int version, int type, const QByteArray &image, char encoding = 0,
                                    const QByteArray &description = {}, const QByteArray &format = {})
{
    const QByteArray terminator(encoding == 1 || encoding == 2 ? 2 : 1, '\0');
    const QByteArray kind = version == 2 ? (format.isEmpty() ? QByteArray("JPG") : format)
                                         : (format.isEmpty() ? QByteArray("image/jpeg") : format) + '\0';
    return id3v2Frame(version, version == 2 ? "PIC" : "APIC",
                      encoding + kind + char(type) + description + terminator + image);
}

// Bytes unsynchronised as a writer does it: a zero byte after every 0xFF.
inline QByteArray unsynchronised(const QByteArray &bytes)
{
    QByteArray out;
    for (char c : bytes) {
        out += c;
        if (uchar(c) == 0xFF)
            out += '\0';
    }
    return out;
}

// Text in one of the ID3v2 text encodings: 0 ISO-8859-1, 1 UTF-16 with a
// byte order mark (little-endian, or big-endian when bigEndianBom),
// 2 UTF-16BE, 3 UTF-8.
inline QByteArray id3v2EncodedText(char encoding, const QString &text, bool bigEndianBom = false)
{
    if (encoding == 0)
        return text.toLatin1();
    if (encoding == 3)
        return text.toUtf8();
    QByteArray out;
    const bool big = encoding == 2 || bigEndianBom;
    if (encoding == 1)
        out += big ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += big ? QByteArray(1, hi) + lo : QByteArray(1, lo) + hi;
    }
    return out;
}

// The n-th tag of a varied corpus for comparing tag readers: versions 2.2
// to 2.4, every text encoding, several values in a frame, numbered and
// named genres, years and timestamps, control characters, pictures and
// other frames between the text frames, doubled frames, and now and then
// what only a full reader takes (unsynchronisation, an extended header,
// frame flags, sizes that do not add up). The same n gives the same tag.
inline QByteArray variedId3v2Tag(quint32 n)
{
    quint32 state = n * 2654435761u + 12345u;
    const auto pick = [&state](quint32 count) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % count;
    };
    static const char16_t *const Texts[] = {
        u"Plain title", u"Café Noir", u"Ünïcødé Ärtist", u"  padded  ", u"", u"Tab\there", u"Line\r\nbreak",
        u"東京の夜", u"Emoji \U0001F600 smile", u"Next\u0085line", u"Para\u2028sep", u"Ends with blank ",
        u"Ñandú", u"x", u"\u00A0nbsp\u00A0", u"Zeichen \u00DF\u00FF", u"del\u007Fchar"};
    static const char16_t *const Genres[] = {u"(17)", u"17", u"(17)Rock", u"(17)Own words", u"Rock",
                                             u"Psychedelic", u"(200)", u"255", u"(RX)", u"(9)(13)",
                                             u"Trip-Hop", u" 13 ", u"144", u"0", u"Chillwave", u"(12)"};
    static const char16_t *const Years[] = {u"1999", u"2004-05-06T10:00", u"20", u"abcd", u"", u" 1987", u"２０１０"};
    const int version = int(2 + pick(3));
    const auto frameId = [version](const char *id34, const char *id22) {
        return QByteArray(version == 2 ? id22 : id34);
    };
    const auto text = [&](const char16_t *const *pool, quint32 poolSize) {
        char encoding = char(pick(4));
        if (version < 4 && encoding >= 2 && pick(2))
            encoding = char(pick(2)); // mostly what the version allows
        QByteArray data(1, encoding);
        const QByteArray terminator = encoding == 1 || encoding == 2 ? QByteArray(2, '\0') : QByteArray(1, '\0');
        const quint32 values = pick(6) == 0 ? 2 + pick(2) : 1;
        const bool bigBom = pick(3) == 0;
        for (quint32 v = 0; v < values; ++v) {
            if (v > 0)
                data += terminator;
            data += id3v2EncodedText(encoding, QString::fromUtf16(pool[pick(poolSize)]), bigBom);
        }
        if (pick(3) == 0)
            data += terminator;
        return data;
    };
    constexpr quint32 TextCount = sizeof Texts / sizeof *Texts;
    QByteArray frames;
    const auto other = [&] {
        switch (pick(4)) {
        case 0:
            frames += id3v2Frame(version, frameId("APIC", "PIC"), QByteArray("\0image/png\0\x03\0", 13) + QByteArray(int(pick(300)), 'p'));
            break;
        case 1:
            frames += id3v2Frame(version, frameId("COMM", "COM"), QByteArray("\0eng\0A comment", 14));
            break;
        case 2:
            frames += id3v2Frame(version, frameId("TRCK", "TRK"), QByteArray("\0" "3/12", 5));
            break;
        default:
            break;
        }
    };
    const char *const Ids34[] = {"TIT2", "TPE1", "TALB", "TCON", version == 4 && pick(2) ? "TDRC" : "TYER"};
    const char *const Ids22[] = {"TT2", "TP1", "TAL", "TCO", "TYE"};
    for (int f = 0; f < 5; ++f) {
        if (pick(5) == 0)
            continue; // frame missing
        other();
        const QByteArray id = frameId(Ids34[f], Ids22[f]);
        const QByteArray data = f == 3 ? text(Genres, sizeof Genres / sizeof *Genres)
                                : f == 4 ? text(Years, sizeof Years / sizeof *Years)
                                         : text(Texts, TextCount);
        frames += id3v2Frame(version, id, pick(12) == 0 ? QByteArray(1, '\0') : data);
        if (pick(10) == 0) // a doubled frame: the first one counts
            frames += id3v2Frame(version, id, text(Texts, TextCount));
    }
    if (version == 3 && pick(8) == 0)
        frames += id3v2Frame(version, "TDRC", QByteArray("\0" "2011", 5));
    other();
    QByteArray tag = id3v2Tag(version, frames, pick(3) == 0 ? 0 : int(pick(200)));
    switch (pick(14)) {
    case 0: // unsynchronisation flag set on the whole tag
        tag[5] = char(0x80);
        break;
    case 1: // a frame with flags (a compressed or grouped frame)
        if (version > 2 && tag.size() > 20)
            tag[19] = char(version == 3 ? 0x80 : 0x08);
        break;
    case 2: // a tag size that claims more than the tag holds
        tag = tag.left(tag.size() / 2 + 10);
        break;
    case 3: // the experimental flag
        tag[5] = char(0x20);
        break;
    default:
        break;
    }
    return tag;
}

// A file whose ID3v2.3 tag is large bytes, written sparse and with no audio
// after it: for even n a picture frame of large bytes before the title
// "Large n", for odd n the title followed by large bytes of padding.
inline bool writeSparseLargeTagFile(const QString &path, int n, qint64 large = 64 * 1024 * 1024)
{
    const QByteArray title = id3v2TextFrame(3, "TIT2", 0, "Large " + QByteArray::number(n));
    const bool picture = n % 2 == 0;
    const QByteArray apic = "APIC" + bigEndianBytes(quint32(large), 4) + QByteArray(2, '\0');
    const qint64 body = picture ? apic.size() + large + title.size() : title.size() + large;
    const QByteArray header = "ID3\x03" + QByteArray(2, '\0') + synchsafe(quint32(body));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (picture)
        return file.write(header + apic) == header.size() + apic.size() && file.seek(header.size() + apic.size() + large)
               && file.write(title) == title.size();
    return file.write(header + title) == header.size() + title.size() && file.resize(header.size() + body);
}

// An ID3v1 tag: "TAG", then title, artist, album (30 bytes each), year (4)
// and comment (29), each padded with zero bytes, the track number (ID3v1.1,
// 0 for none) and the genre number.
inline QByteArray id3v1Tag(const QByteArray &title, const QByteArray &artist, const QByteArray &album = {},
                           const QByteArray &year = {}, int genre = 0, const QByteArray &comment = {},
                           int trackNumber = 0)
{
    const auto padded = [](const QByteArray &text, int size) {
        return text.left(size) + QByteArray(std::max(0, size - int(text.size())), '\0');
    };
    return "TAG" + padded(title, 30) + padded(artist, 30) + padded(album, 30) + padded(year, 4) + padded(comment, 29) +
           char(trackNumber) + char(genre);
}

// A small MP3 file: one frame header (MPEG 1 layer 3, 128 kbps, 44.1 kHz),
// silence, and an ID3v1 tag with title and artist.
inline QByteArray taggedMp3(const QByteArray &title, const QByteArray &artist = "Band")
{
    return QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(400, '\0') + id3v1Tag(title, artist);
}
