#pragma once

#include "store/textblanks.h"

#include <QByteArray>
#include <QString>

// The five tag fields the catalogue takes from a file, as both tag readers
// (ID3v1 and ID3v2) return them.
struct TrackTags
{
    QString artist;
    QString track; // the title
    QString album;
    QString year;
    QString genre; // the name, not the number
};

// The same fields as UTF-8, as the scan stores them in its rows.
struct TrackTagsUtf8
{
    QByteArray artist;
    QByteArray track;
    QByteArray album;
    QByteArray year;
    QByteArray genre;

    bool isEmpty() const
    {
        return artist.isEmpty() && track.isEmpty() && album.isEmpty() && year.isEmpty() && genre.isEmpty();
    }
    TrackTags toTags() const
    {
        return {QString::fromUtf8(artist), QString::fromUtf8(track), QString::fromUtf8(album),
                QString::fromUtf8(year), QString::fromUtf8(genre)};
    }
    static TrackTagsUtf8 fromTags(const TrackTags &t)
    {
        return {t.artist.toUtf8(), t.track.toUtf8(), t.album.toUtf8(), t.year.toUtf8(), t.genre.toUtf8()};
    }
};

// A character of tag text as the line-based list file may hold it: control
// characters and line breaks become blanks.
constexpr char32_t cleanTagChar(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ? U' ' : c;
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
