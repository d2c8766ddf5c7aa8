#pragma once

#include <QString>
#include <QStringList>
#include <array>

// Where a catalogue entry came from. The numbers are the row icon numbers
// of the catalogue list and are what other code tests for.
enum class EntryOrigin : quint8 { Library = 1, Own = 2 };

// The nine fields of one catalogue entry, in their fixed order: list
// columns, list file lines and library table columns all follow it.
enum TrackField : int {
    FieldFilename,
    FieldSource,
    FieldArtist,
    FieldTrack,
    FieldAlbum,
    FieldYear,
    FieldGenre,
    FieldCoverImage,
    FieldAudioHeader,
    TrackFieldCount
};

struct TrackRecord
{
    QString filename;
    QString source;
    QString artist;
    QString track;       // the track title
    QString album;
    QString year;
    QString genre;       // a genre name, not a number
    QString coverimage;  // path of a picture file, or empty
    QString audioheader; // frame header bits, or empty

    const QString &field(int index) const;
    QString &field(int index);

    // "filename", "source", ... as used by the library table and JSON output.
    static const std::array<QString, TrackFieldCount> &fieldNames();

    bool operator==(const TrackRecord &) const = default;
};

struct CatalogueEntry
{
    TrackRecord record;
    EntryOrigin origin = EntryOrigin::Own;

    bool operator==(const CatalogueEntry &) const = default;
};
