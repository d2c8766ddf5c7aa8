#include "media/id3v2text.h"

#include "media/id3v2.h"
#include "media/id3v2genre.h"

#include <QString>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

using namespace Id3v2;

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

// A value whose bytes are all printable ASCII, in an encoding that reads
// them as themselves: most tags' text, which needs no decoding.
bool isPlainText(int encoding, QByteArrayView value)
{
    return (encoding == 0 || encoding == 3) && isPrintableAscii(value);
}

// Writes c as UTF-8 at to; where it ends.
char *putUtf8(char *to, char32_t c)
{
    if (c < 0x80) {
        *to++ = char(c);
    } else if (c < 0x800) {
        *to++ = char(0xC0 | (c >> 6));
        *to++ = char(0x80 | (c & 0x3F));
    } else {
        *to++ = char(0xE0 | (c >> 12));
        *to++ = char(0x80 | ((c >> 6) & 0x3F));
        *to++ = char(0x80 | (c & 0x3F));
    }
    return to;
}

// The value cleaned and trimmed of blanks, as UTF-8, at most limit
// characters of it taken before the cleaning, written straight into out's
// room after its first from bytes (every character of value takes a byte
// or more and is written as three at most); out ends where the value does.
bool cleanValue(int encoding, QByteArrayView value, QByteArray &out, qsizetype limit = -1, qsizetype from = 0)
{
    if (isPlainText(encoding, value)) {
        // Cleaning leaves such text as it is but for the blanks at its ends.
        const QByteArrayView kept = (limit >= 0 ? value.first(std::min(limit, value.size())) : value).trimmed();
        out.resize(from + kept.size());
        std::copy(kept.begin(), kept.end(), out.data() + from);
        return true;
    }
    out.resize(from + 3 * value.size());
    char *const start = out.data() + from;
    char *to = start;
    char *lastKept = start; // after the last character that is not a blank
    qsizetype taken = 0;
    const bool ok = forEachChar(encoding, value, [&](char32_t c) {
        if (limit >= 0 && taken++ >= limit)
            return;
        c = cleanTagChar(c);
        if (c == U' ' && to == start)
            return;
        to = putUtf8(to, c);
        if (c != U' ')
            lastKept = to;
    });
    out.truncate(lastKept - out.constData());
    return ok;
}

// The values of a frame cleaned, the empty ones left out, joined by " / ",
// each cleaned straight into out after those before it.
bool joinedValues(QByteArrayView data, QByteArray &out, bool &anyText)
{
    return forEachValue(data, [&](int encoding, QByteArrayView raw) {
        bool text = isPlainText(encoding, raw) && !raw.isEmpty();
        if (!text && !forEachChar(encoding, raw, [&](char32_t) { text = true; }))
            return false;
        anyText = anyText || text;
        const qsizetype before = out.size();
        if (before > 0)
            out.append(" / ");
        const qsizetype valueAt = out.size();
        if (!cleanValue(encoding, raw, out, -1, valueAt))
            return false;
        if (out.size() == valueAt) // an empty value: no separator for it
            out.truncate(before);
        return true;
    });
}

// The genre of one TCON value, as the own reader names it.
bool genreOfRaw(int encoding, QByteArrayView raw, QByteArray &out)
{
    QVarLengthArray<char16_t, 64> text; // most values are short: on the stack
    if (!forEachChar(encoding, raw, [&](char32_t c) { text.append(char16_t(c)); }))
        return false;
    return genreOfCommonValue(QStringView(text.data(), text.size()), out);
}

using Frames = std::array<QByteArrayView, FieldCount>;

// The data of the first frame of each field in the tag of version 2 to 4
// whose frames end at end. False for a frame this reader leaves to TagLib:
// an id that is not valid, a frame flag, a size of zero or one that runs
// past the tag, a 2.4 size past 127, a recording date.
bool commonFrames(QByteArrayView tag, int version, qsizetype end, Frames &frames)
{
    const auto *b = reinterpret_cast<const uchar *>(tag.data());
    const int headerSize = frameHeaderSize(version);
    std::array<bool, FieldCount> seen{};
    for (qsizetype pos = HeaderSize; pos < end - headerSize;) {
        const uchar *frame = b + pos;
        if (frame[0] == 0)
            break; // padding
        const qint64 size = frameSize(frame, version);
        // TagLib reads larger 2.4 sizes either way, as some writers stored
        // them without the synchsafe form.
        if (version == 4 && (size < 0 || size > 127))
            return false;
        if (!isFrameId(frame, version) || size == 0 || pos + headerSize + size > end
            || (version > 2 && (frame[8] | frame[9]) != 0))
            return false;
        // Recording dates stand in for the year where TagLib reads them
        // so: such tags are its to read.
        if ((version == 2 && std::memcmp(frame, "TRD", 3) == 0) || (version == 3 && std::memcmp(frame, "TRDA", 4) == 0))
            return false;
        const int field = fieldOfFrame(frame, version);
        if (field >= 0 && !seen[size_t(field)]) {
            seen[size_t(field)] = true;
            frames[size_t(field)] = tag.sliced(pos + headerSize, qsizetype(size));
        }
        pos += headerSize + size;
    }
    return true;
}

// The first value of the year frame into year, at most four characters; a
// 2.4 tag whose TDRC holds none takes its TYER.
bool yearOf(const Frames &frames, int version, QByteArray &year)
{
    year.truncate(0);
    bool found = false;
    const auto firstValue = [&](QByteArrayView frame) {
        return forEachValue(frame, [&](int encoding, QByteArrayView raw) {
            if (found)
                return true;
            found = true;
            return cleanValue(encoding, raw, year, 4);
        });
    };
    return firstValue(frames[Year]) && (found || version != 4 || firstValue(frames[LateYear]));
}

// The genres of the genre frame, each once, joined by " / " in out.
bool genresOf(QByteArrayView frame, QByteArray &out)
{
    out.truncate(0);
    QByteArray genre;
    // Where each genre written to out is, to name none twice: a genre's
    // own text may hold " / ".
    QVarLengthArray<std::pair<qsizetype, qsizetype>, 4> named;
    return forEachValue(frame, [&](int encoding, QByteArrayView raw) {
        if (!genreOfRaw(encoding, raw, genre))
            return false;
        if (genre.isEmpty())
            return true;
        for (const auto &[at, size] : named)
            if (QByteArrayView(out).sliced(at, size) == genre)
                return true;
        if (!out.isEmpty())
            out.append(" / ");
        named.append({out.size(), genre.size()});
        out.append(genre);
        return true;
    });
}

// The number in the first value of a track or disc frame (numberInSet).
bool numberOf(QByteArrayView frame, int &number)
{
    bool found = false;
    thread_local QByteArray value; // its room kept from one frame to the next
    return forEachValue(frame, [&](int encoding, QByteArrayView raw) {
        if (found)
            return true;
        found = true;
        if (!cleanValue(encoding, raw, value))
            return false;
        number = numberInSet(value);
        return true;
    });
}

// The first frame of each field in a tag this reader reads, and the tag's
// version; false for a tag it leaves to TagLib.
bool tagFrames(QByteArrayView tag, Frames &frames, int &version)
{
    if (tag.size() < HeaderSize || !tag.startsWith("ID3"))
        return false;
    const auto *b = reinterpret_cast<const uchar *>(tag.data());
    version = b[3];
    const qint64 body = synchsafe(b + 6);
    if (version < 2 || version > 4 || b[4] == 0xFF || b[5] != 0 || body < 0)
        return false;
    return commonFrames(tag, version, qsizetype(std::min<qint64>(tag.size(), HeaderSize + body)), frames);
}

} // namespace

namespace Id3v2 {

bool numberFramesOf(QByteArrayView tag, NumberFrames &held)
{
    Frames frames{};
    int version = 0;
    if (!tagFrames(tag, frames, version))
        return false;
    held = {!frames[TrackNumber].isEmpty(), !frames[DiscNumber].isEmpty()};
    return true;
}

bool readCommonTextTag(QByteArrayView tag, TrackTagsUtf8 &tags)
{
    Frames frames{};
    int version = 0;
    if (!tagFrames(tag, frames, version))
        return false;

    // Straight into tags, whose room a reader of many files reuses.
    tags.empty();
    bool anyText = false;
    if (!joinedValues(frames[Artist], tags.artist, anyText) || !joinedValues(frames[Title], tags.track, anyText)
        || !joinedValues(frames[Album], tags.album, anyText))
        return false;
    // TagLib gives nothing for a tag it takes as empty, which depends on
    // more than these fields: such tags are its to read.
    if (!anyText)
        return false;
    return yearOf(frames, version, tags.year) && genresOf(frames[Genre], tags.genre)
           && numberOf(frames[TrackNumber], tags.numbers.track) && numberOf(frames[DiscNumber], tags.numbers.disc);
}

} // namespace Id3v2
