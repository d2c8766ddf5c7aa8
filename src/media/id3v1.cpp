#include "media/id3v1.h"

#include "base/codepage.h"
#include "base/textcodec.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// Offsets in the tag block.
constexpr int TitleAt = 3;
constexpr int ArtistAt = 33;
constexpr int AlbumAt = 63;
constexpr int YearAt = 93;
// ID3v1.1: a comment a byte shorter, ending in a zero, then the track number.
constexpr int CommentEndAt = 125;
constexpr int TrackNumberAt = 126;
constexpr int GenreAt = 127;

constexpr const char *Genres[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "Alternative Rock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native US", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club",
    "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhytmic Soul", "Freestyle", "Duet", "Punk Rock",
    "Drum Solo", "Acapella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore",
    "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Trash Metal",
};
static_assert(std::size(Genres) == 145, "the genre table holds the numbers 0 to 144");

// One tag byte as a character: control bytes, 127 and the bytes that
// Windows-1252 leaves undefined become blanks; the rest of 128..255 are
// Windows-1252 letters, so accented names survive.
QChar tagChar(uchar byte)
{
    if (byte < 32 || byte == 127)
        return u' ';
    return TextCodec::cp1252ToUnicode(byte, u' ');
}

// Makes out hold the count bytes at from, in its own room when it has
// enough and shares it with nothing.
void setBytes(QByteArray &out, const char *from, qsizetype count)
{
    out.resize(count);
    if (count > 0)
        std::memcpy(out.data(), from, size_t(count));
}

// A field of the tag as UTF-8, its blanks trimmed, into out.
void fieldUtf8(QByteArrayView block, int offset, int length, QByteArray &out)
{
    char text[3 * 30]; // a Windows-1252 letter takes at most three bytes
    int size = 0;
    int kept = 0; // size after the last character that is not a blank
    // The NULs and blanks that pad most fields are trimmed whatever comes before them.
    while (length > 0 && (block[offset + length - 1] == '\0' || block[offset + length - 1] == ' '))
        --length;
    // Printable ASCII, most fields, is itself less the blanks before it.
    if (const QByteArrayView field = block.sliced(offset, length); isPrintableAscii(field)) {
        const QByteArrayView trimmed = field.trimmed();
        return setBytes(out, trimmed.data(), trimmed.size());
    }
    for (int i = 0; i < length; ++i) {
        const uchar byte = uchar(block[offset + i]);
        const char16_t c = byte >= 32 && byte < 127 ? char16_t(byte) : tagChar(byte).unicode();
        if (c == u' ') {
            if (size > 0)
                text[size++] = ' ';
            continue;
        }
        if (c < 0x80) {
            text[size++] = char(c);
        } else if (c < 0x800) {
            text[size++] = char(0xC0 | (c >> 6));
            text[size++] = char(0x80 | (c & 0x3F));
        } else {
            text[size++] = char(0xE0 | (c >> 12));
            text[size++] = char(0x80 | ((c >> 6) & 0x3F));
            text[size++] = char(0x80 | (c & 0x3F));
        }
        kept = size;
    }
    setBytes(out, text, kept);
}

// A field decoded by a converter as UTF-8: control characters and the
// replacement of undefined bytes become blanks, and blanks are trimmed.
QByteArray decodedFieldUtf8(const QString &decoded)
{
    QString text = decoded;
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u < 32 || (u >= 127 && u < 0xA0) || u == 0xFFFD)
            c = u' ';
    }
    qsizetype from = 0, to = text.size();
    while (from < to && text.at(from) == u' ')
        ++from;
    while (to > from && text.at(to - 1) == u' ')
        --to;
    return QStringView(text).sliced(from, to - from).toUtf8();
}

// A field in the medium's code page, into out. "auto" reads a field as
// UTF-8 when it is valid UTF-8 with letters beyond ASCII, a letter that
// the end of the field cuts off aside (writers cut UTF-8 at 30 bytes too);
// any other field byte by byte as Windows-1252.
void fieldIn(CodePageDecoder *codepage, QByteArrayView block, int offset, int length, QByteArray &out)
{
    const QByteArrayView field = block.sliced(offset, length);
    if (codepage && !codepage->isAuto() && codepage->isValid()) {
        out = decodedFieldUtf8(codepage->decode(field));
        return;
    }
    const bool ascii = std::all_of(field.begin(), field.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return fieldUtf8(block, offset, length, out);
    TextCodec::Utf8Stream utf8;
    utf8.add(field);
    if (!utf8.broken()) {
        const QString text = QString::fromUtf8(field); // a cut letter is U+FFFD
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x80 && c.unicode() != 0xFFFD; })) {
            out = decodedFieldUtf8(text);
            return;
        }
    }
    fieldUtf8(block, offset, length, out);
}

// Whether the field's bytes, NUL and blank padding aside, reach its last
// byte or the one before.
bool fillsWidth(QByteArrayView block, int offset, int length)
{
    QByteArrayView field = block.sliced(offset, length);
    while (!field.isEmpty() && (field.back() == '\0' || field.back() == ' '))
        field.chop(1);
    return field.size() >= length - 1;
}

QByteArrayView lastBlock(QByteArrayView bytes)
{
    return bytes.size() >= Id3v1::TagSize ? bytes.last(Id3v1::TagSize) : QByteArrayView();
}

} // namespace

namespace Id3v1 {

bool isTag(QByteArrayView block)
{
    return lastBlock(block).startsWith("TAG");
}

bool isBlank(QByteArrayView bytes)
{
    const QByteArrayView block = lastBlock(bytes);
    if (block.size() < Id3v1::TagSize)
        return false;
    const uchar genre = uchar(block[GenreAt]);
    const QByteArrayView fields = block.sliced(3, GenreAt - 3);
    return (genre == 0 || genre == 255)
           && std::all_of(fields.begin(), fields.end(), [](char c) { return c == '\0' || c == ' '; });
}

TrackTagsUtf8 parseTagUtf8(QByteArrayView bytes, CodePageDecoder *codepage)
{
    TrackTagsUtf8 fields;
    readTagUtf8(bytes, codepage, fields);
    return fields;
}

void readTagUtf8(QByteArrayView bytes, CodePageDecoder *codepage, TrackTagsUtf8 &fields)
{
    fields.empty();
    const QByteArrayView block = lastBlock(bytes);
    if (block.isEmpty())
        return;
    fieldIn(codepage, block, TitleAt, 30, fields.track);
    fieldIn(codepage, block, ArtistAt, 30, fields.artist);
    fieldIn(codepage, block, AlbumAt, 30, fields.album);
    fieldIn(codepage, block, YearAt, 4, fields.year);
    if (block[CommentEndAt] == 0 && block[TrackNumberAt] != 0)
        fields.numbers.track = uchar(block[TrackNumberAt]);
    const uchar genre = uchar(block[GenreAt]);
    if (genre < std::size(Genres))
        fields.genre = genreNameUtf8(genre);
}

FullFields fullFields(QByteArrayView bytes)
{
    const QByteArrayView block = lastBlock(bytes);
    if (block.isEmpty())
        return {};
    return {fillsWidth(block, TitleAt, 30), fillsWidth(block, ArtistAt, 30), fillsWidth(block, AlbumAt, 30)};
}

QString genreName(int number)
{
    return QString::fromLatin1(genreNameUtf8(number));
}

QByteArray genreNameUtf8(int number)
{
    if (number < 0 || number >= int(std::size(Genres)))
        return {};
    return QByteArray::fromRawData(Genres[number], qsizetype(std::strlen(Genres[number])));
}

} // namespace Id3v1
