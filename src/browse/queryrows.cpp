// The rows a query lets through, over the whole catalogue at once, and the
// duplicates flags some queries ask about.
#include "browse/querymatcher.h"

#include "browse/duplicates.h"
#include "base/workpool.h"

#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <atomic>
#include <bit>

namespace Query {

std::vector<qint32> Matcher::filter(const RowStore &rows, const WorkProgress *progress, bool *stopped) const
{
    constexpr qsizetype ChunkRows = 1 << 15;
    struct Chunk
    {
        qsizetype first, end;
        std::vector<quint64> matched{}; // a bit per row: the result alone costs 4 bytes a shown row
        size_t count = 0;
    };
    std::vector<Chunk> chunks;
    for (qsizetype first = 0; first < rows.size(); first += ChunkRows)
        chunks.push_back({first, std::min(rows.size(), first + ChunkRows)});
    std::atomic<bool> gaveUp{false};
    QtConcurrent::blockingMap(workPool(), chunks, [&](Chunk &chunk) {
        if (workStopped(progress) || gaveUp.load(std::memory_order_relaxed)) {
            gaveUp = true;
            return;
        }
        chunk.matched.assign(size_t(chunk.end - chunk.first + 63) / 64, 0);
        for (size_t word = 0; word < chunk.matched.size(); ++word) {
            const qsizetype first = chunk.first + qsizetype(word * 64);
            chunk.matched[word] = matchBits(rows, first, int(std::min<qsizetype>(64, chunk.end - first)));
            chunk.count += size_t(std::popcount(chunk.matched[word]));
        }
    });
    if (stopped)
        *stopped = gaveUp;
    std::vector<qint32> shown;
    if (gaveUp || !error().isEmpty())
        return shown;
    size_t total = 0;
    for (const Chunk &chunk : chunks)
        total += chunk.count;
    shown.reserve(total);
    for (const Chunk &chunk : chunks) {
        for (size_t word = 0; word < chunk.matched.size(); ++word) {
            for (quint64 bits = chunk.matched[word]; bits; bits &= bits - 1)
                shown.push_back(qint32(chunk.first + qsizetype(word * 64) + std::countr_zero(bits)));
        }
    }
    return shown;
}

std::vector<quint8> duplicateFlags(const RowStore &rows)
{
    Duplicates::Finder finder;
    finder.addAll(rows);
    return duplicateFlagsOf(finder);
}

std::vector<quint8> duplicateFlagsOf(const Duplicates::Finder &finder)
{
    std::vector<quint8> flags(size_t(finder.entries()), OnOneMedium);
    for (const auto &[kind, bit] : {std::pair{Duplicates::Kind::Audio, InAudioGroup},
                                    std::pair{Duplicates::Kind::Song, InSongGroup}}) {
        for (const Duplicates::Group &group : finder.groups(kind)) {
            const quint32 source = finder.sourceOf(group.rows.front());
            const bool elsewhere = std::any_of(group.rows.begin(), group.rows.end(),
                                               [&](qsizetype row) { return finder.sourceOf(row) != source; });
            for (const qsizetype row : group.rows) {
                flags[size_t(row)] |= bit;
                if (elsewhere)
                    flags[size_t(row)] &= quint8(~OnOneMedium);
            }
        }
    }
    return flags;
}

} // namespace Query
