// Duplicates benchmark: a catalogue of 1,000,000 entries with the
// extension lines a scan writes (about a fifth sharing an audio identity
// with another entry, some the same song encoded anew) and tags partly
// non-ASCII, fed row by row to Duplicates::Finder, then both kinds of
// groups made. The goal is the whole under a second. Prints plain lines.
//
// "duplicates_bench ROWS" times ROWS entries instead, for a profiler.
#include "browse/duplicates.h"
#include "catalogrows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr qsizetype Entries = 1000000;
constexpr double GoalSeconds = 1.0;

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; });
}

// How many of the rows' artists and titles hold more than ASCII: those
// take the slow way through the folding.
void printMix(const RowStore &rows)
{
    qsizetype artists = 0, titles = 0, withLine = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        artists += !isAscii(rows.fieldUtf8(i, FieldArtist));
        titles += !isAscii(rows.fieldUtf8(i, FieldTrack));
        withLine += !rows.extensionUtf8(i).isEmpty();
    }
    std::printf("rows: %lld, %lld with an extension line; non-ASCII artists %.1f %%, titles %.1f %%\n",
                (long long)rows.size(), (long long)withLine, 100.0 * artists / rows.size(),
                100.0 * titles / rows.size());
}

struct Round
{
    double add = 0, audio = 0, song = 0;
    size_t audioGroups = 0, audioRows = 0, songGroups = 0, songRows = 0;
    double total() const { return add + audio + song; }
};

size_t rowsIn(const std::vector<Duplicates::Group> &groups)
{
    size_t n = 0;
    for (const Duplicates::Group &g : groups)
        n += g.rows.size();
    return n;
}

// One whole run: every row into a new finder, as a reader of the
// catalogue feeds it, then the groups of each kind.
Round timeRound(const RowStore &rows)
{
    Round round;
    QElapsedTimer timer;
    timer.start();
    Duplicates::Finder finder;
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        for (int f = 0; f < TrackFieldCount; ++f)
            fields[size_t(f)] = rows.fieldUtf8(i, f);
        finder.add(fields, rows.extensionUtf8(i));
    }
    round.add = seconds(timer);
    timer.restart();
    const std::vector<Duplicates::Group> audio = finder.groups(Duplicates::Kind::Audio);
    round.audio = seconds(timer);
    timer.restart();
    const std::vector<Duplicates::Group> song = finder.groups(Duplicates::Kind::Song);
    round.song = seconds(timer);
    round.audioGroups = audio.size();
    round.audioRows = rowsIn(audio);
    round.songGroups = song.size();
    round.songRows = rowsIn(song);
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qsizetype count = argc > 1 ? qsizetype(std::atoll(argv[1])) : Entries;
    QElapsedTimer timer;
    timer.start();
    const RowStore rows = CatalogRows::scannedWithFacts(count);
    std::printf("generated %lld rows in %.1f s (not timed below)\n", (long long)count, seconds(timer));
    printMix(rows);

    // Three rounds; the median stands against the goal.
    std::vector<Round> rounds;
    for (int r = 1; r <= 3; ++r) {
        rounds.push_back(timeRound(rows));
        const Round &x = rounds.back();
        std::printf("round %d: add %.3f s, groups(Audio) %.3f s, groups(Song) %.3f s, whole %.3f s\n", r, x.add,
                    x.audio, x.song, x.total());
    }
    std::sort(rounds.begin(), rounds.end(), [](const Round &a, const Round &b) { return a.total() < b.total(); });
    const Round &median = rounds[1];
    std::printf("groups: same audio %zu (%zu rows), same song %zu (%zu rows)\n", median.audioGroups,
                median.audioRows, median.songGroups, median.songRows);
    std::printf("duplicates over %lld entries (median of 3): %.3f s (add %.3f s, Audio %.3f s, Song %.3f s); goal "
                "< %.1f s: %s\n",
                (long long)count, median.total(), median.add, median.audio, median.song, GoalSeconds,
                median.total() < GoalSeconds ? "met" : "NOT met");
    return 0;
}
