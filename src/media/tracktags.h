#pragma once

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
