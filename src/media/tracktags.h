#pragma once

#include "base/textblanks.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <algorithm>

// A track's number and its disc's number in a set, 0 when its tags give
// none: ID3v1.1's track byte, ID3v2's TRCK and TPOS.
struct TrackNumbers
{
    int track = 0;
    int disc = 0;
    bool operator==(const TrackNumbers &) const = default;
};

// The number of a TRCK or TPOS value ("3/12" is 3, "03" is 3): the digits
// before a "/" that may follow, blanks aside; 0 for a value without one,
// one that holds anything else, or one past 9999.
inline int numberInSet(QByteArrayView value)
{
    const qsizetype slash = value.indexOf('/');
    const QByteArrayView digits = (slash < 0 ? value : value.first(slash)).trimmed();
    if (digits.isEmpty() || digits.size() > 8)
        return 0;
    int n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n <= 9999 ? n : 0;
}

// The five tag fields the catalogue takes from a file, as both tag readers
// (ID3v1 and ID3v2) return them, and the numbers beside them.
struct TrackTags
{
    QString artist;
    QString track; // the title
    QString album;
    QString year;
    QString genre; // the name, not the number
    TrackNumbers numbers;
};

// The same fields as UTF-8, as the scan stores them in its rows.
struct TrackTagsUtf8
{
    QByteArray artist;
    QByteArray track;
    QByteArray album;
    QByteArray year;
    QByteArray genre;
    TrackNumbers numbers; // not among the fields isEmpty looks at

    bool isEmpty() const
    {
        return artist.isEmpty() && track.isEmpty() && album.isEmpty() && year.isEmpty() && genre.isEmpty();
    }
    // Empties the fields but keeps their room, for a reader that reads
    // file after file into the same fields.
    void empty()
    {
        for (QByteArray *field : {&artist, &track, &album, &year, &genre})
            field->truncate(0);
        numbers = {};
    }
    TrackTags toTags() const
    {
        return {QString::fromUtf8(artist), QString::fromUtf8(track), QString::fromUtf8(album),
                QString::fromUtf8(year), QString::fromUtf8(genre), numbers};
    }
    static TrackTagsUtf8 fromTags(const TrackTags &t)
    {
        return {t.artist.toUtf8(), t.track.toUtf8(), t.album.toUtf8(), t.year.toUtf8(), t.genre.toUtf8(), t.numbers};
    }
};

// A character of tag text as the line-based list file may hold it: control
// characters and line breaks become blanks.
constexpr char32_t cleanTagChar(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ? U' ' : c;
}

// Bytes that are all printable ASCII: tag text that reads as itself in
// ISO-8859-1, UTF-8 and Windows-1252, and that cleanTagChar leaves as it is.
inline bool isPrintableAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// Tag text made safe for the list file: each character cleaned as above,
// then leading and trailing blanks go.
inline QString cleanTagText(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean)
        c = QChar(char16_t(cleanTagChar(c.unicode())));
    return trimBlanks(clean);
}
