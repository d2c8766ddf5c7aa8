#include "catalogue/rowstore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/mman.h>

namespace {
// Chunks grow with the store, from a small first one to the largest size,
// so a store of a few rows (a one-row append, a mark bin) holds a few KiB,
// and a million rows still take only a few hundred chunks.
constexpr size_t FirstChunkSize = size_t(4) << 10;
// The full-size chunks are huge pages: one fault and one page-table entry
// each instead of 512, which makes filling a large store several times
// faster.
constexpr size_t HugePage = size_t(2) << 20;
constexpr size_t ChunkSize = HugePage;
// A store whose blocks take less than this is copied into the open chunk
// by appendAll; a larger one gives its chunks away whole.
constexpr size_t CopyBelowBytes = ChunkSize / 2;
} // namespace

void RowStore::ChunkFree::operator()(char *p) const
{
    if (mappedBytes)
        ::munmap(p, mappedBytes);
    else
        delete[] p;
}

RowStore::Chunk RowStore::newChunk(size_t bytes)
{
    if (bytes >= HugePage) {
        const size_t size = (bytes + HugePage - 1) & ~(HugePage - 1);
        void *base = ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base != MAP_FAILED) {
            // Keep the aligned part of a mapping one huge page larger.
            const uintptr_t start = (uintptr_t(base) + HugePage - 1) & ~uintptr_t(HugePage - 1);
            if (const size_t head = start - uintptr_t(base))
                ::munmap(base, head);
            if (const size_t tail = HugePage - (start - uintptr_t(base)))
                ::munmap(reinterpret_cast<void *>(start + size), tail);
#ifdef MADV_HUGEPAGE
            ::madvise(reinterpret_cast<void *>(start), size, MADV_HUGEPAGE);
#endif
            return Chunk(reinterpret_cast<char *>(start), ChunkFree{size});
        }
    }
    return Chunk(new char[bytes]);
}

char *RowStore::allocate(size_t bytes)
{
    m_usedBytes += bytes;
    if (bytes > ChunkSize / 4) { // a large block gets a chunk of its own
        m_chunks.push_back(newChunk(bytes));
        m_chunkBytes += bytes;
        return m_chunks.back().get();
    }
    if (bytes > m_openLeft) {
        const size_t size = std::clamp(m_chunkBytes, std::max(FirstChunkSize, bytes), ChunkSize);
        m_chunks.push_back(newChunk(size));
        m_chunkBytes += size;
        m_open = m_chunks.back().get();
        m_openLeft = size;
    }
    char *p = m_open;
    m_open += bytes;
    m_openLeft -= bytes;
    return p;
}

void RowStore::appendBlock(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin,
                           QByteArrayView extension, Row *replace)
{
    static_assert(sizeof(Row) <= 48, "a row is meant to stay within 48 bytes");
    // Never a line read from a list file (see CatalogueListFile::visit) nor
    // one a scan makes: a store asked to hold more fails like a QByteArray.
    if (extension.size() > MaxExtensionBytes)
        qBadAlloc();
    size_t total = size_t(extension.size());
    for (const auto &f : fields)
        total += size_t(f.size());
    Row row;
    row.library = origin == EntryOrigin::Library;
    row.extensionBytes = quint32(extension.size());
    char *p = allocate(std::max<size_t>(total, 1));
    row.data = p;
    quint32 at = 0;
    for (int i = 0; i < TrackFieldCount; ++i) {
        if (!fields[i].isEmpty())
            std::memcpy(p + at, fields[i].data(), size_t(fields[i].size()));
        at += quint32(fields[i].size());
        row.end[i] = at;
    }
    if (!extension.isEmpty())
        std::memcpy(p + at, extension.data(), size_t(extension.size()));
    if (replace)
        *replace = row;
    else
        m_rows.push_back(row);
}

QString RowStore::field(qsizetype row, int field) const
{
    return QString::fromUtf8(fieldUtf8(row, field));
}

TrackRecord RowStore::record(qsizetype row) const
{
    TrackRecord rec;
    for (int i = 0; i < TrackFieldCount; ++i)
        rec.field(i) = field(row, i);
    return rec;
}

CatalogueEntry RowStore::entry(qsizetype row) const
{
    return {record(row), origin(row)};
}

std::array<QByteArrayView, TrackFieldCount> RowStore::fieldsOf(qsizetype row) const
{
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (int i = 0; i < TrackFieldCount; ++i)
        fields[i] = fieldUtf8(row, i);
    return fields;
}

void RowStore::append(const TrackRecord &record, EntryOrigin origin, QByteArrayView extension)
{
    std::array<QByteArray, TrackFieldCount> utf8;
    std::array<QByteArrayView, TrackFieldCount> views;
    for (int i = 0; i < TrackFieldCount; ++i) {
        utf8[i] = record.field(i).toUtf8();
        views[i] = utf8[i];
    }
    appendBlock(views, origin, extension);
}

void RowStore::appendUtf8(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin,
                          QByteArrayView extension)
{
    appendBlock(fields, origin, extension);
}

void RowStore::appendRow(const RowStore &other, qsizetype row)
{
    appendBlock(other.fieldsOf(row), other.origin(row), other.extensionUtf8(row));
}

void RowStore::appendAll(RowStore &&other)
{
    if (m_rows.empty() && m_chunks.empty()) {
        *this = std::move(other);
        other = RowStore();
        return;
    }
    if (other.m_usedBytes < CopyBelowBytes) {
        // A few rows: copy their blocks into the open chunk rather than
        // keep the other store's mostly empty chunk alive.
        m_rows.reserve(m_rows.size() + other.m_rows.size());
        for (const Row &r : other.m_rows) {
            const size_t bytes = std::max<size_t>(r.blockBytes(), 1);
            char *p = allocate(bytes);
            std::memcpy(p, r.data, r.blockBytes());
            Row copy = r;
            copy.data = p;
            m_rows.push_back(copy);
        }
        other = RowStore();
        return;
    }
    // Adopt the other arena whole; its blocks stay where they are.
    m_usedBytes += other.m_usedBytes;
    m_rows.insert(m_rows.end(), other.m_rows.begin(), other.m_rows.end());
    m_chunks.insert(m_chunks.end(), std::make_move_iterator(other.m_chunks.begin()),
                    std::make_move_iterator(other.m_chunks.end()));
    m_chunkBytes += other.m_chunkBytes;
    other = RowStore();
}

void RowStore::setField(qsizetype row, int field, const QString &value)
{
    std::array<QByteArray, TrackFieldCount> keep;
    std::array<QByteArrayView, TrackFieldCount> views;
    for (int i = 0; i < TrackFieldCount; ++i) {
        keep[i] = i == field ? value.toUtf8() : fieldUtf8(row, i).toByteArray();
        views[i] = keep[i];
    }
    Row &r = m_rows[size_t(row)];
    appendBlock(views, r.origin(), extensionUtf8(row), &r);
}

void RowStore::setExtension(qsizetype row, QByteArrayView extension)
{
    Row &r = m_rows[size_t(row)];
    appendBlock(fieldsOf(row), r.origin(), extension, &r);
}

void RowStore::removeRows(qsizetype first, qsizetype count)
{
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + first + count);
}

void RowStore::removeSortedRows(const std::vector<qsizetype> &rows)
{
    if (rows.empty())
        return;
    size_t out = size_t(rows.front());
    size_t next = 0;
    for (size_t in = out; in < m_rows.size(); ++in) {
        if (next < rows.size() && size_t(rows[next]) == in) {
            ++next;
            continue;
        }
        m_rows[out++] = m_rows[in];
    }
    m_rows.resize(out);
}

void RowStore::clear()
{
    *this = RowStore();
}

void RowStore::reorder(const std::vector<qsizetype> &newOrder)
{
    Arrangement arrangement = arranged(newOrder);
    rearrange(arrangement);
}

RowStore::Arrangement RowStore::arranged(const std::vector<qsizetype> &newOrder) const
{
    Arrangement arrangement;
    arrangement.m_rows.reserve(newOrder.size());
    for (qsizetype old : newOrder)
        arrangement.m_rows.push_back(m_rows[size_t(old)]);
    return arrangement;
}

void RowStore::rearrange(Arrangement &arrangement)
{
    m_rows.swap(arrangement.m_rows);
}

size_t RowStore::bytesHeld() const
{
    return m_rows.capacity() * sizeof(Row) + m_chunkBytes + m_chunks.capacity() * sizeof(void *);
}
