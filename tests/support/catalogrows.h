#pragma once

#include "store/rowstore.h"

#include <QStringList>

// Catalogue rows for tests and benchmarks, without files behind them.
namespace CatalogRows {

// One own row per path, with the given source (or "CD01") and every
// other field filled, so copies can be told from the original.
inline RowStore fromPaths(const QStringList &paths, const QStringList &sources = {})
{
    RowStore rows;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        TrackRecord r;
        r.filename = paths.at(i);
        r.source = i < sources.size() ? sources.at(i) : QStringLiteral("CD01");
        r.artist = QStringLiteral("Artist %1").arg(i);
        r.track = QStringLiteral("Track %1").arg(i);
        r.album = QStringLiteral("Album");
        r.year = QStringLiteral("1999");
        r.genre = QStringLiteral("Rock");
        r.coverimage = QStringLiteral("/covers/%1.jpg").arg(i);
        r.audioheader = QStringLiteral("11111111 11111011 10010000 01100100 ");
        rows.append(r, EntryOrigin::Own);
    }
    return rows;
}

// count generated own rows with realistic paths of about 60 characters
// ("/media/cdrom/Artist_17/Album_4/017_Some_Track_Title_123456.mp3"),
// none of which holds "ZZZ"; every accentedEvery-th path (when not 0)
// has an accented folder name ("Café").
inline RowStore generated(qsizetype count, qsizetype accentedEvery = 0)
{
    RowStore rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        TrackRecord r;
        const bool accented = accentedEvery > 0 && i % accentedEvery == 0;
        r.filename = QStringLiteral("/media/cdrom/%5_%1/Album_%2/%3_Some_Track_Title_%4.mp3")
                         .arg(i % 997)
                         .arg(i % 13)
                         .arg(i % 20, 3, 10, QLatin1Char('0'))
                         .arg(i)
                         .arg(accented ? QStringLiteral("Caf\u00e9") : QStringLiteral("Artist"));
        r.source = QStringLiteral("CD%1").arg(i % 50, 2, 10, QLatin1Char('0'));
        r.artist = QStringLiteral("Artist %1").arg(i % 997);
        r.track = QStringLiteral("Some Track Title %1").arg(i);
        r.album = QStringLiteral("Album %1").arg(i % 13);
        r.year = QStringLiteral("1999");
        r.genre = QStringLiteral("Rock");
        r.audioheader = QStringLiteral("11111111 11111011 10010000 01100100 ");
        rows.append(r, EntryOrigin::Own);
    }
    return rows;
}

} // namespace CatalogRows
