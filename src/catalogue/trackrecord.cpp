#include "catalogue/trackrecord.h"

const QString &TrackRecord::field(int index) const
{
    return const_cast<TrackRecord *>(this)->field(index);
}

QString &TrackRecord::field(int index)
{
    switch (index) {
    case FieldFilename: return filename;
    case FieldSource: return source;
    case FieldArtist: return artist;
    case FieldTrack: return track;
    case FieldAlbum: return album;
    case FieldYear: return year;
    case FieldGenre: return genre;
    case FieldCoverImage: return coverimage;
    default: return audioheader;
    }
}

const std::array<QString, TrackFieldCount> &TrackRecord::fieldNames()
{
    static const std::array<QString, TrackFieldCount> names = {
        QStringLiteral("filename"), QStringLiteral("source"),     QStringLiteral("artist"),
        QStringLiteral("track"),    QStringLiteral("album"),      QStringLiteral("year"),
        QStringLiteral("genre"),    QStringLiteral("coverimage"), QStringLiteral("audioheader"),
    };
    return names;
}
