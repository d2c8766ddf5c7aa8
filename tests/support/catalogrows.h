#pragma once

#include "media/streamfacts.h"
#include "catalogue/rowstore.h"

#include <QRandomGenerator>
#include <QStringList>

#include <vector>

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
namespace ScannedWords {

// The fields of row i but its tags (artist, album, track), which the path
// is made of.
inline void fillScanned(qsizetype i, QRandomGenerator &rng, TrackRecord &r)
{
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
}

} // namespace ScannedWords

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
        fillScanned(i, rng, r);
        rows.append(r, EntryOrigin::Own);
    }
    return rows;
}

namespace ScannedFacts {

// A file's stream facts as a scan finds them, from plausible mixes:
// mostly LAME at 44.1 kHz, CBR at the common bitrates, a quarter VBR, a
// few ABR; no encoder named for CBR files without an Info header.
inline StreamFacts::Facts plausible(QRandomGenerator &rng)
{
    static const int CbrRates[] = {128, 128, 128, 160, 192, 192, 256, 320};
    static const char *const Encoders[] = {"LAME3.100", "LAME3.99r", "LAME3.98r", "LAME3.97"};
    StreamFacts::Facts f;
    const int kind = int(rng.bounded(100));
    f.mode = kind < 70 ? StreamFacts::Mode::Cbr : kind < 95 ? StreamFacts::Mode::Vbr : StreamFacts::Mode::Abr;
    f.kbps = f.mode == StreamFacts::Mode::Cbr ? CbrRates[rng.bounded(int(std::size(CbrRates)))]
                                              : int(rng.bounded(140, 270));
    const int rate = int(rng.bounded(100));
    f.rate = rate < 85 ? 44100 : rate < 98 ? 48000 : 32000;
    f.tenths = rng.bounded(900, 4800); // 1'30" to 8'
    if (f.mode != StreamFacts::Mode::Cbr || rng.bounded(2) == 0)
        f.encoder = QString::fromLatin1(Encoders[rng.bounded(int(std::size(Encoders)))]);
    f.aid = rng.generate64();
    f.hasAid = true;
    return f;
}

// The extension line a scan writes for a file with facts f: its size is
// the audio's and a few KB of tags, its time between 2005 and 2024.
inline QByteArray line(const StreamFacts::Facts &f, QRandomGenerator &rng)
{
    const qint64 size = *f.tenths * *f.kbps * 125 / 10 + rng.bounded(2000, 12000);
    return StreamFacts::extensionLine(size, 1104537600 + rng.bounded(600000000), f);
}

} // namespace ScannedFacts

// Rows as scanned() makes them, each with the extension line a scan of
// its file writes, the same on every run; without withLines the same rows
// without them. About one row in ten is a copy of an earlier row's audio
// (the same facts but the file's time), so about a fifth of the rows share
// an aid: half the copies keep the original's artist and title, the other
// half were tagged anew. Another one in fifty is the same song encoded
// anew: the original's artist and title, another aid, a time a second
// off.
inline RowStore scannedWithFacts(qsizetype count, bool withLines = true)
{
    using namespace ScannedWords;
    QRandomGenerator rng(42), factRng(4242);
    std::vector<StreamFacts::Facts> facts;
    facts.reserve(size_t(count));
    RowStore rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        TrackRecord r;
        r.artist = words(rng, 1, 3);
        r.album = words(rng, 1, 4);
        r.track = words(rng, 1, 5);
        StreamFacts::Facts f = ScannedFacts::plausible(factRng);
        const int copy = i > 0 ? int(factRng.bounded(100)) : 100;
        if (copy < 12) {
            const qsizetype original = factRng.bounded(i);
            if (copy < 2) { // encoded anew: another identity, about the same time
                f.tenths = *facts[size_t(original)].tenths + factRng.bounded(-10, 11);
            } else {
                f = facts[size_t(original)];
            }
            if (copy < 7) {
                r.artist = rows.field(original, FieldArtist);
                r.track = rows.field(original, FieldTrack);
            }
        }
        fillScanned(i, rng, r);
        facts.push_back(f);
        // Made either way, so that both ways draw the same numbers.
        const QByteArray line = ScannedFacts::line(f, factRng);
        rows.append(r, EntryOrigin::Own, withLines ? QByteArrayView(line) : QByteArrayView());
    }
    return rows;
}

} // namespace CatalogRows
