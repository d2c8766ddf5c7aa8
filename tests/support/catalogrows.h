#pragma once

#include "store/rowstore.h"

#include <QRandomGenerator>
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

namespace ScannedWords {
inline const char *const Words[] = {"Love",   "Night",  "Blue",     "River",  "Dance", "Fire",      "Road",
                             "Heart",  "Dream",  "Rain",     "Summer", "Shadow", "Golden",   "Electric",
                             "Silent", "Wild",   "Café",     "Motörhead", "Broken", "Sweet", "Ålborg",
                             "the",    "AND",    "Zoë",      "(Live)", "Part 2", "Mix-10", "O'Brien"};
inline const char *const Genres[] = {"Rock", "Pop", "Jazz", "Classical", "Hip-Hop", "Electronic", "Blues", "Metal", ""};

inline QString words(QRandomGenerator &rng, int min, int max)
{
    QStringList out;
    const int n = int(rng.bounded(min, max + 1));
    for (int i = 0; i < n; ++i)
        out << QString::fromUtf8(Words[rng.bounded(int(std::size(Words)))]);
    return out.join(QLatin1Char(' '));
}

} // namespace ScannedWords

// Rows as scans of many media give them, the same on every run: full
// paths under a few hundred media, tag fields from a small vocabulary
// (accents, case variants, digits), an empty year now and then, a cover
// on every tenth, frame headers.
inline RowStore scanned(qsizetype count)
{
    using namespace ScannedWords;
    QRandomGenerator rng(42);
    RowStore rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        TrackRecord r;
        r.artist = words(rng, 1, 3);
        r.album = words(rng, 1, 4);
        r.track = words(rng, 1, 5);
        r.source = QStringLiteral("CD%1").arg(i / 150 + 1, 3, 10, QLatin1Char('0'));
        r.filename = QStringLiteral("/media/%1/Music/%2/%3/%4 - %5.mp3")
                         .arg(r.source, r.artist, r.album)
                         .arg(i % 20 + 1, 2, 10, QLatin1Char('0'))
                         .arg(r.track);
        r.year = rng.bounded(10) == 0 ? QString() : QString::number(1960 + rng.bounded(60));
        r.genre = QString::fromUtf8(Genres[rng.bounded(int(std::size(Genres)))]);
        r.coverimage = i % 10 == 0 ? QStringLiteral("/home/me/covers/%1.jpg").arg(r.album) : QString();
        QString bits;
        for (int b = 0; b < 4; ++b)
            bits += QStringLiteral("%1 ").arg(b == 0 ? 255 : int(rng.bounded(256)), 8, 2, QLatin1Char('0'));
        r.audioheader = bits;
        rows.append(r, EntryOrigin::Own);
    }
    return rows;
}

} // namespace CatalogRows
