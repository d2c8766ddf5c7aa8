#include "media/id3v2text.h"

#include "media/id3v1.h"
#include "media/id3v2.h"

#include <QByteArrayList>
#include <QString>

#include <array>
#include <cstring>

namespace {

enum Field { Artist, Title, Album, Genre, Year, LateYear, FieldSlots };

// The field of a frame id, or -1. Versions 2.2 and 2.3 read their year
// frames as the recording time, the first one winning; in a 2.4 tag a
// TYER counts only when there is no TDRC.
int fieldOf(const uchar *id, int version)
{
    if (version == 2) {
        static constexpr std::array<const char *, 5> Ids{"TP1", "TT2", "TAL", "TCO", "TYE"};
        for (size_t f = 0; f < Ids.size(); ++f)
            if (std::memcmp(id, Ids[f], 3) == 0)
                return int(f);
        return -1;
    }
    static constexpr std::array<const char *, 5> Ids{"TPE1", "TIT2", "TALB", "TCON", "TDRC"};
    for (size_t f = 0; f < Ids.size(); ++f)
        if (std::memcmp(id, Ids[f], 4) == 0)
            return int(f);
    if (std::memcmp(id, "TYER", 4) == 0)
        return version == 4 ? LateYear : Year;
    return -1;
}

bool validId(const uchar *id, int length)
{
    for (int i = 0; i < length; ++i)
        if (!((id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9')))
            return false;
    return true;
}

// The values of a text frame, split where TagLib splits them: trailing
// NULs dropped, then split at the terminator of the encoding, empty
// values left out.
template <typename Each>
bool forEachValue(QByteArrayView data, Each each)
{
    if (data.size() < 2)
        return true; // no text: no values
    const int encoding = uchar(data[0]);
    if (encoding > 3)
        return false;
    const qsizetype align = encoding == 0 || encoding == 3 ? 1 : 2;
    qsizetype length = data.size() - 1;
    while (length > 0 && data[length] == 0)
        --length;
    while (length % align != 0)
        ++length;
    const QByteArrayView text = data.sliced(1, std::min(length, data.size() - 1));
    qsizetype start = 0;
    for (qsizetype i = 0; i + align <= text.size(); i += align) {
        if (text[i] != 0 || (align == 2 && text[i + 1] != 0))
            continue;
        if (i > start && !each(encoding, text.sliced(start, i - start)))
            return false;
        start = i + align;
    }
    return start >= text.size() || each(encoding, text.sliced(start));
}

// Calls code for every character of one value; false when the value holds
// what TagLib would not decode the same way (no byte order mark, an odd
// length, surrogates, bytes that are not UTF-8, characters past U+FFFF).
template <typename Code>
bool forEachChar(int encoding, QByteArrayView value, Code code)
{
    const auto *b = reinterpret_cast<const uchar *>(value.data());
    const qsizetype n = value.size();
    if (encoding == 0) {
        for (qsizetype i = 0; i < n; ++i)
            code(char32_t(b[i]));
        return true;
    }
    if (encoding == 3) {
        if (!value.isValidUtf8())
            return false;
        for (qsizetype i = 0; i < n;) {
            const uchar c = b[i];
            if (c < 0x80) {
                code(char32_t(c));
                i += 1;
            } else if (c < 0xE0) {
                code(char32_t(((c & 0x1F) << 6) | (b[i + 1] & 0x3F)));
                i += 2;
            } else if (c < 0xF0) {
                const char32_t u = char32_t(((c & 0x0F) << 12) | ((b[i + 1] & 0x3F) << 6) | (b[i + 2] & 0x3F));
                if (u == 0xFEFF)
                    return false; // a byte order mark: TagLib's to read
                code(u);
                i += 3;
            } else {
                return false;
            }
        }
        return true;
    }
    if (n % 2 != 0)
        return false;
    qsizetype i = 0;
    bool big = encoding == 2;
    if (encoding == 1) {
        if (n < 2)
            return false;
        if (b[0] == 0xFF && b[1] == 0xFE)
            big = false;
        else if (b[0] == 0xFE && b[1] == 0xFF)
            big = true;
        else
            return false;
        i = 2;
    }
    for (; i < n; i += 2) {
        const char32_t u = big ? char32_t((b[i] << 8) | b[i + 1]) : char32_t((b[i + 1] << 8) | b[i]);
        // A further byte order mark inside the text is TagLib's to read:
        // it drops some of them.
        if ((u >= 0xD800 && u <= 0xDFFF) || u == 0xFEFF || u == 0xFFFE)
            return false;
        code(u);
    }
    return true;
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

// A character as the list file may hold it: control characters and line
// breaks become blanks.
char32_t cleanChar(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ? U' ' : c;
}

// The value cleaned and trimmed of blanks, as UTF-8, at most limit
// characters of it taken before the cleaning.
bool cleanValue(int encoding, QByteArrayView value, QByteArray &out, qsizetype limit = -1)
{
    out.clear();
    qsizetype taken = 0;
    qsizetype lastKept = 0; // out's size after its last character that is not a blank
    const bool ok = forEachChar(encoding, value, [&](char32_t c) {
        if (limit >= 0 && taken++ >= limit)
            return;
        c = cleanChar(c);
        if (c == U' ' && out.isEmpty())
            return;
        appendUtf8(out, c);
        if (c != U' ')
            lastKept = out.size();
    });
    out.truncate(lastKept);
    return ok;
}

// The values of a frame cleaned, the empty ones left out, joined by " / ".
bool joinedValues(QByteArrayView data, QByteArray &out, bool &anyText)
{
    QByteArray value;
    return forEachValue(data, [&](int encoding, QByteArrayView raw) {
        bool text = false;
        if (!forEachChar(encoding, raw, [&](char32_t) { text = true; }))
            return false;
        anyText = anyText || text;
        if (!cleanValue(encoding, raw, value))
            return false;
        if (!value.isEmpty()) {
            if (!out.isEmpty())
                out.append(" / ");
            out.append(value);
        }
        return true;
    });
}

// The genre of one TCON value. Plain numbers and "(number)" take the
// table's name (empty past it); a value with other parentheses is left to
// TagLib, which reads refinements its own way; other text goes through
// the same rule as TagLib's values.
bool genreOfRaw(int encoding, QByteArrayView raw, QByteArray &out)
{
    QString text;
    if (!forEachChar(encoding, raw, [&](char32_t c) { text.append(QChar(char16_t(c))); }))
        return false;
    qsizetype from = 0, to = text.size();
    const bool parens = text.startsWith(u'(') && text.endsWith(u')');
    if (parens) {
        ++from;
        --to;
    }
    const qsizetype digits = to - from;
    bool numeric = digits >= 1 && digits <= 3;
    for (qsizetype i = from; numeric && i < to; ++i)
        numeric = text[i] >= u'0' && text[i] <= u'9';
    if (numeric) {
        out = Id3v1::genreName(text.mid(from, digits).toInt()).toUtf8();
        return true;
    }
    if (text.contains(u'(') || text.contains(u')'))
        return false;
    out = Id3v2::genreOfValue(text).toUtf8();
    return true;
}

} // namespace

namespace Id3v2 {

bool readCommonTextTag(QByteArrayView tag, TrackTagsUtf8 &tags)
{
    if (tag.size() < HeaderSize || !tag.startsWith("ID3"))
        return false;
    const auto *b = reinterpret_cast<const uchar *>(tag.data());
    const int version = b[3];
    const qint64 body = synchsafe(b + 6);
    if (version < 2 || version > 4 || b[4] == 0xFF || b[5] != 0 || body < 0)
        return false;
    const qsizetype end = qsizetype(std::min<qint64>(tag.size(), HeaderSize + body));
    const int headerSize = version == 2 ? 6 : 10;
    const int idSize = version == 2 ? 3 : 4;

    std::array<QByteArrayView, FieldSlots> frames{};
    std::array<bool, FieldSlots> seen{};
    for (qsizetype pos = HeaderSize; pos < end - headerSize;) {
        const uchar *frame = b + pos;
        if (frame[0] == 0)
            break; // padding
        qint64 size;
        if (version == 2) {
            size = (qint64(frame[3]) << 16) | (frame[4] << 8) | frame[5];
        } else if (version == 3) {
            size = (qint64(frame[4]) << 24) | (frame[5] << 16) | (frame[6] << 8) | frame[7];
        } else {
            size = synchsafe(frame + 4);
            // TagLib reads larger 2.4 sizes either way, as some writers
            // stored them without the synchsafe form.
            if (size < 0 || size > 127)
                return false;
        }
        if (!validId(frame, idSize) || size == 0 || pos + headerSize + size > end
            || (version > 2 && (frame[8] | frame[9]) != 0))
            return false;
        // Recording dates stand in for the year where TagLib reads them
        // so: such tags are its to read.
        if ((version == 2 && std::memcmp(frame, "TRD", 3) == 0) || (version == 3 && std::memcmp(frame, "TRDA", 4) == 0))
            return false;
        const int field = fieldOf(frame, version);
        if (field >= 0 && !seen[size_t(field)]) {
            seen[size_t(field)] = true;
            frames[size_t(field)] = tag.sliced(pos + headerSize, qsizetype(size));
        }
        pos += headerSize + size;
    }

    TrackTagsUtf8 out;
    bool anyText = false;
    if (!joinedValues(frames[Artist], out.artist, anyText) || !joinedValues(frames[Title], out.track, anyText)
        || !joinedValues(frames[Album], out.album, anyText))
        return false;
    // TagLib gives nothing for a tag it takes as empty, which depends on
    // more than these fields: such tags are its to read.
    if (!anyText)
        return false;

    // The first value of the year frame; a 2.4 tag whose TDRC holds none
    // takes its TYER.
    const auto yearOf = [&](QByteArrayView frame, bool &found) {
        found = false;
        return forEachValue(frame, [&](int encoding, QByteArrayView raw) {
            if (found)
                return true;
            found = true;
            return cleanValue(encoding, raw, out.year, 4);
        });
    };
    bool found = false;
    if (!yearOf(frames[Year], found) || (!found && version == 4 && !yearOf(frames[LateYear], found)))
        return false;

    QList<QByteArray> genres;
    QByteArray genre;
    if (!forEachValue(frames[Genre], [&](int encoding, QByteArrayView raw) {
            if (!genreOfRaw(encoding, raw, genre))
                return false;
            if (!genre.isEmpty() && !genres.contains(genre))
                genres.append(genre);
            return true;
        }))
        return false;
    out.genre = genres.join(" / ");
    tags = std::move(out);
    return true;
}

} // namespace Id3v2
