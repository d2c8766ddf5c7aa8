#pragma once

#include "catalogue/trackrecord.h"

#include <QByteArrayView>
#include <array>
#include <memory>
#include <vector>

// Compact storage for catalogue rows: the nine fields of a row and its
// extension line (the facts a scan found, as the list file writes them)
// are kept as one UTF-8 block in a chunked arena, and a row is a small
// fixed record pointing into it. A million rows cost two vectors and a few hundred
// arena chunks instead of nine heap strings each.
//
// Rows are 0-based here. The store is move-only; blocks never move once
// written, so moving whole arenas between large stores is cheap.
// Edits write a new block and leave the old one unused until clear().
class RowStore
{
public:
    RowStore() = default;
    RowStore(RowStore &&) noexcept = default;
    RowStore &operator=(RowStore &&) noexcept = default;
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }

    QString field(qsizetype row, int field) const;
    QByteArrayView fieldUtf8(qsizetype row, int field) const
    {
        const Row &r = m_rows[size_t(row)];
        const quint32 begin = field == 0 ? 0 : r.end[size_t(field - 1)];
        return QByteArrayView(r.data + begin, qsizetype(r.end[size_t(field)] - begin));
    }
    // The nine fields of the row back to back, for writers that copy them
    // in one go; fieldUtf8 tells where each ends.
    QByteArrayView recordUtf8(qsizetype row) const
    {
        const Row &r = m_rows[size_t(row)];
        return QByteArrayView(r.data, qsizetype(r.end.back()));
    }
    // The row's extension line as written in the list file ("ondro:1 ...");
    // empty when the row has none.
    QByteArrayView extensionUtf8(qsizetype row) const
    {
        const Row &r = m_rows[size_t(row)];
        return QByteArrayView(r.data + r.end.back(), qsizetype(r.extensionBytes));
    }
    // Asks the processor for the first 320 bytes of the row's block (most
    // blocks whole) ahead of their use, for passes over many rows to do a
    // few rows ahead: the blocks lie in order, yet a pass that does real
    // work between them waits for each one unasked. Bytes past the block
    // are the next rows'. Always inline: GCC takes a function of nothing
    // but prefetches for one without effect and drops calls to it.
    Q_ALWAYS_INLINE void prefetch(qsizetype row) const
    {
#if defined(__GNUC__)
        const char *block = m_rows[size_t(row)].data;
        __builtin_prefetch(block);
        __builtin_prefetch(block + 64);
        __builtin_prefetch(block + 128);
        __builtin_prefetch(block + 192);
        __builtin_prefetch(block + 256);
#else
        Q_UNUSED(row);
#endif
    }
    // How many rows ahead a pass asks for blocks.
    static constexpr qsizetype PrefetchRows = 8;
    TrackRecord record(qsizetype row) const;
    CatalogueEntry entry(qsizetype row) const;
    EntryOrigin origin(qsizetype row) const { return m_rows[size_t(row)].origin(); }

    // The longest extension line a row holds: longer than line 10 of any
    // list file the reader takes, so every one is kept whole.
    static constexpr qsizetype MaxExtensionBytes = (qsizetype(1) << 31) - 1;

    void append(const TrackRecord &record, EntryOrigin origin, QByteArrayView extension = {});
    // Fast path for readers that already hold UTF-8 fields.
    void appendUtf8(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin,
                    QByteArrayView extension = {});
    // Appends row of other, its extension line included.
    void appendRow(const RowStore &other, qsizetype row);
    // Takes every row of other, leaving it empty. A small store's rows are
    // copied into the open chunk; a large one's chunks are adopted whole.
    void appendAll(RowStore &&other);

    void setField(qsizetype row, int field, const QString &value);
    void setExtension(qsizetype row, QByteArrayView extension);
    void removeRows(qsizetype first, qsizetype count);
    // Removes the given rows (ascending, no repeats) in one pass.
    void removeSortedRows(const std::vector<qsizetype> &rows);
    void clear();
    void reserve(qsizetype rows) { m_rows.reserve(size_t(rows)); }

    // Puts the rows in the order given: newOrder[i] is the old index of the
    // row that becomes row i. newOrder must be a permutation of 0..size-1.
    void reorder(const std::vector<qsizetype> &newOrder);

    // The rows in a new order, made by arranged() on any thread while the
    // store does not change and put in place by rearrange() in one step
    // that costs nothing per row.
    class Arrangement;
    Arrangement arranged(const std::vector<qsizetype> &newOrder) const;
    // Swaps the arranged rows in; arrangement then holds the old order,
    // for its owner to free where that holds up nobody.
    void rearrange(Arrangement &arrangement);

    // Bytes held by the rows and the arena (for the memory benchmark).
    size_t bytesHeld() const;

private:
    struct Row
    {
        const char *data = nullptr;
        std::array<quint32, TrackFieldCount> end{}; // field i ends at end[i]
        quint32 extensionBytes : 31 = 0;            // after the last field
        quint32 library : 1 = 0;                    // the origin, in the bit left over

        EntryOrigin origin() const { return library ? EntryOrigin::Library : EntryOrigin::Own; }
        size_t blockBytes() const { return size_t(end.back()) + extensionBytes; }
    };

public:
    class Arrangement
    {
        friend class RowStore;
        std::vector<Row> m_rows;
    };

private:
    // A chunk from new[] (mappedBytes 0) or, for the large ones, its own
    // mapping aligned to a huge page.
    struct ChunkFree
    {
        size_t mappedBytes = 0;
        void operator()(char *p) const;
    };
    using Chunk = std::unique_ptr<char[], ChunkFree>;
    static Chunk newChunk(size_t bytes);

    char *allocate(size_t bytes);
    void appendBlock(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin,
                     QByteArrayView extension, Row *replace = nullptr);
    std::array<QByteArrayView, TrackFieldCount> fieldsOf(qsizetype row) const;

    std::vector<Row> m_rows;
    std::vector<Chunk> m_chunks;
    size_t m_chunkBytes = 0;
    size_t m_usedBytes = 0; // bytes handed out to blocks
    char *m_open = nullptr; // free space of the chunk now being filled
    size_t m_openLeft = 0;
};
