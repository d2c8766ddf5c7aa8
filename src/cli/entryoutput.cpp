#include "cli/entryoutput.h"

#include "cli/clicontext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace EntryOutput {

namespace {

constexpr qsizetype BlockSize = 128 << 10;

bool needsEscape(char c)
{
    return c == '\\' || c == '\t' || c == '\r' || c == '\n';
}

// True when one of the eight bytes of word needs escaping (a byte equal
// to c shows as a zero byte of word ^ c repeated).
inline __attribute__((always_inline)) bool anyNeedsEscape(quint64 word)
{
    constexpr quint64 Ones = 0x0101010101010101ULL, Highs = 0x8080808080808080ULL;
    const auto has = [word](unsigned char c) {
        const quint64 x = word ^ (Ones * c);
        return (x - Ones) & ~x & Highs;
    };
    return (has('\\') | has('\t') | has('\r') | has('\n')) != 0;
}

// How many bytes from the start of text need no escaping: sixteen bytes
// at a time where the processor allows, then eight, then the last few
// as one word padded with zero bytes (which need no escaping).
qsizetype plainRun(const char *text, qsizetype size)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i backslash = _mm_set1_epi8('\\'), tab = _mm_set1_epi8('\t');
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, backslash), _mm_cmpeq_epi8(v, tab)),
                                                        _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        if (mask != 0)
            return i + __builtin_ctz(unsigned(mask));
    }
#endif
    quint64 word;
    for (; i + 8 <= size; i += 8) {
        std::memcpy(&word, text + i, 8);
        if (anyNeedsEscape(word))
            break;
    }
    if (const qsizetype left = size - i; left > 0 && left < 8) {
        // The last bytes as one word, without reading past them: two
        // overlapping halves, or the first, middle and last byte. A byte
        // seen twice changes nothing for the question asked.
        const char *p = text + i;
        if (left >= 4) {
            quint32 low, high;
            std::memcpy(&low, p, 4);
            std::memcpy(&high, p + left - 4, 4);
            word = low | quint64(high) << 32;
        } else {
            word = quint64(quint8(p[0])) | quint64(quint8(p[left / 2])) << 8 | quint64(quint8(p[left - 1])) << 16;
        }
        if (!anyNeedsEscape(word))
            return size;
    }
    while (i < size && !needsEscape(text[i]))
        ++i;
    return i;
}

// Writes value escaped at out, which has room for twice its bytes, and
// returns the end of what it wrote. The runs between the bytes to escape
// are copied in one go each.
char *writeEscaped(char *out, QByteArrayView utf8)
{
    const char *text = utf8.data();
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype run = plainRun(text + i, n - i);
        std::memcpy(out, text + i, size_t(run));
        out += run;
        i += run;
        if (i == n)
            break;
        *out++ = '\\';
        switch (text[i]) {
        case '\\': *out++ = '\\'; break;
        case '\t': *out++ = 't'; break;
        case '\r':
            if (i + 1 < n && text[i + 1] == '\n')
                ++i; // CR LF is one line break
            *out++ = 'n';
            break;
        default: *out++ = 'n'; break; // LF
        }
    }
    return out;
}

} // namespace

void appendEscaped(QByteArray &out, QByteArrayView utf8)
{
    const qsizetype at = out.size();
    out.resize(at + 2 * utf8.size());
    out.resize(writeEscaped(out.data() + at, utf8) - out.constData());
}

void Writer::add(const RowStore &rows, qsizetype row)
{
    std::array<QByteArrayView, TrackFieldCount> fields;
    std::array<quint32, TrackFieldCount> ends;
    quint32 end = 0;
    for (int f = 0; f < TrackFieldCount; ++f) {
        fields[size_t(f)] = rows.fieldUtf8(row, f);
        end += quint32(fields[size_t(f)].size());
        ends[size_t(f)] = end;
    }
    if (!addPlain(rows.recordUtf8(row), ends.data(), 0))
        add(fields, rows.origin(row));
}

bool Writer::addPlain(QByteArrayView record, const quint32 *ends, quint32 offset)
{
    if (m_format != Format::Tabs || plainRun(record.data(), record.size()) != record.size())
        return false;
    if (m_block.capacity() < BlockSize)
        m_block.reserve(BlockSize + (BlockSize >> 4));
    // Nothing to escape (the common case): the fields are copied straight
    // into place between their tabs.
    const qsizetype at = m_block.size();
    m_block.resize(at + record.size() + TrackFieldCount);
    char *out = m_block.data() + at;
    const char *in = record.data();
    quint32 begin = offset;
    for (int f = 0; f < TrackFieldCount; ++f) {
        const quint32 length = ends[f] - begin;
        std::memcpy(out, in, length);
        out += length;
        in += length;
        begin = ends[f];
        *out++ = f + 1 < TrackFieldCount ? '\t' : '\n';
    }
    ++m_count;
    flushIfFull();
    return true;
}

void Writer::add(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin)
{
    if (m_block.capacity() < BlockSize)
        m_block.reserve(BlockSize + (BlockSize >> 4));
    if (m_format == Format::Tabs) {
        // Room for every byte escaped and a separator after each field,
        // then cut to what was written: resizing within the block's
        // capacity neither allocates nor fills.
        qsizetype most = TrackFieldCount;
        for (const QByteArrayView &field : fields)
            most += 2 * field.size();
        const qsizetype at = m_block.size();
        m_block.resize(at + most);
        char *out = m_block.data() + at;
        for (int f = 0; f < TrackFieldCount; ++f) {
            out = writeEscaped(out, fields[size_t(f)]);
            *out++ = f + 1 < TrackFieldCount ? '\t' : '\n';
        }
        m_block.resize(out - m_block.constData());
    } else {
        QJsonObject object;
        const auto &names = TrackRecord::fieldNames();
        for (int f = 0; f < TrackFieldCount; ++f)
            object.insert(names[size_t(f)], QString::fromUtf8(fields[size_t(f)]));
        object.insert(QStringLiteral("origin"),
                      origin == EntryOrigin::Library ? QStringLiteral("library") : QStringLiteral("own"));
        m_block.append(m_count == 0 ? "[\n" : ",\n");
        m_block.append(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    ++m_count;
    flushIfFull();
}

void Writer::finish()
{
    if (m_format == Format::Json)
        m_block.append(m_count == 0 ? "[]\n" : "\n]\n");
    CliIo::out(m_block);
    m_block.clear();
}

void Writer::flush()
{
    CliIo::out(m_block);
    m_block.clear();
}

void Writer::flushIfFull()
{
    if (m_block.size() >= BlockSize) {
        CliIo::out(m_block);
        m_block.resize(0); // keeps the space for the next block
    }
}

namespace {

// Bytes of fields per batch, and batches in use at most: enough to keep
// the writing thread busy while the next records are read, small enough
// to stay in the processor's cache.
constexpr qsizetype BatchBytes = 256 << 10;
constexpr size_t MaxBatches = 4;

// Entries copied out of the reader's buffer: their fields back to back.
struct Batch
{
    QByteArray bytes;
    std::vector<quint32> ends; // TrackFieldCount per entry: where each field ends
    std::vector<EntryOrigin> origins;

    void clear()
    {
        bytes.resize(0);
        ends.clear();
        origins.clear();
    }
};

} // namespace

struct ThreadedWriter::Shared
{
    explicit Shared(Format format) : writer(format) {}

    Writer writer; // used by the thread only, until it has ended
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::unique_ptr<Batch>> full; // in order, for the thread
    std::vector<std::unique_ptr<Batch>> spare;
    size_t batches = 0; // made so far
    bool ended = false;
    bool close = false;
    std::unique_ptr<Batch> filling; // the caller's
    std::thread thread;

    void run()
    {
        size_t next = 0; // index into full of the next batch to write
        for (;;) {
            std::unique_ptr<Batch> batch;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return next < full.size() || ended; });
                if (next == full.size())
                    break;
                batch = std::move(full[next++]);
                if (next == full.size()) {
                    full.clear();
                    next = 0;
                }
            }
            write(*batch);
            batch->clear();
            {
                const std::lock_guard lock(mutex);
                spare.push_back(std::move(batch));
            }
            changed.notify_all();
        }
        if (close)
            writer.finish();
        else
            writer.flush();
    }

    void write(const Batch &batch)
    {
        const char *data = batch.bytes.constData();
        std::array<QByteArrayView, TrackFieldCount> fields;
        quint32 begin = 0;
        for (size_t e = 0; e < batch.origins.size(); ++e) {
            const quint32 *ends = &batch.ends[e * TrackFieldCount];
            const QByteArrayView record(data + begin, ends[TrackFieldCount - 1] - begin);
            if (writer.addPlain(record, ends, begin)) {
                begin = ends[TrackFieldCount - 1];
                continue;
            }
            for (int f = 0; f < TrackFieldCount; ++f) {
                fields[size_t(f)] = QByteArrayView(data + begin, ends[f] - begin);
                begin = ends[f];
            }
            writer.add(fields, batch.origins[e]);
        }
    }

    // A batch to fill: a spare one, a new one while there are few, or
    // the next one the thread has written.
    std::unique_ptr<Batch> take()
    {
        std::unique_lock lock(mutex);
        if (spare.empty() && batches < MaxBatches) {
            ++batches;
            auto batch = std::make_unique<Batch>();
            batch->bytes.reserve(BatchBytes + (BatchBytes >> 2));
            return batch;
        }
        changed.wait(lock, [&] { return !spare.empty(); });
        std::unique_ptr<Batch> batch = std::move(spare.back());
        spare.pop_back();
        return batch;
    }

    void hand(std::unique_ptr<Batch> batch)
    {
        {
            const std::lock_guard lock(mutex);
            full.push_back(std::move(batch));
        }
        changed.notify_all();
    }
};

ThreadedWriter::ThreadedWriter(Format format) : m_shared(std::make_unique<Shared>(format))
{
    m_shared->thread = std::thread([shared = m_shared.get()] { shared->run(); });
}

ThreadedWriter::~ThreadedWriter()
{
    if (m_shared->thread.joinable())
        end(false);
}

void ThreadedWriter::add(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin)
{
    Shared &shared = *m_shared;
    if (!shared.filling)
        shared.filling = shared.take();
    Batch &batch = *shared.filling;
    qsizetype size = 0;
    for (const QByteArrayView &field : fields)
        size += field.size();
    qsizetype at = batch.bytes.size();
    batch.bytes.resize(at + size);
    char *out = batch.bytes.data();
    for (const QByteArrayView &field : fields) {
        if (!field.isEmpty()) // an empty view may have no data at all
            std::memcpy(out + at, field.data(), size_t(field.size()));
        at += field.size();
        batch.ends.push_back(quint32(at));
    }
    batch.origins.push_back(origin);
    if (at >= BatchBytes)
        shared.hand(std::move(shared.filling));
}

void ThreadedWriter::finish()
{
    end(true);
}

void ThreadedWriter::flush()
{
    end(false);
}

void ThreadedWriter::end(bool close)
{
    Shared &shared = *m_shared;
    if (shared.filling)
        shared.hand(std::move(shared.filling));
    {
        const std::lock_guard lock(shared.mutex);
        shared.ended = true;
        shared.close = close;
    }
    shared.changed.notify_all();
    shared.thread.join();
}

} // namespace EntryOutput
