#include "media/verifyrun.h"

#include "catalogue/entrypath.h"
#include "catalogue/extensionline.h"
#include "media/framerun.h"
#include "media/mediafile.h"
#include "media/mediascan.h"

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <numeric>

namespace Verify {

namespace {

// Follows the audio's frames over the blocks of a file as they are read,
// each frame where the one before ends, from the first frame to where the
// audio ends: where they stop following each other, or a last frame that
// the audio's end cuts short. Holds less than a frame between blocks.
class FrameFollower
{
public:
    FrameFollower(qint64 start, qint64 end) : m_at(start), m_end(end) {}

    // bytes are the file's from offset, given in order.
    void take(qint64 offset, QByteArrayView bytes)
    {
        const qint64 from = std::max(offset, m_at + m_pending.size());
        const qint64 to = std::min(offset + bytes.size(), m_end);
        if (m_lostAt || from >= to)
            return;
        QByteArrayView run = bytes.sliced(from - offset, to - from);
        if (!m_pending.isEmpty()) {
            m_pending.append(run);
            run = m_pending;
        }
        qsizetype at = 0;
        FrameRun::Seen seen;
        if (!FrameRun::walk(run, at, seen)) {
            m_lostAt = m_at + at;
            return;
        }
        m_pending = run.sliced(at).toByteArray();
        m_at += at;
    }
    std::optional<qint64> lostAt() const { return m_lostAt; }
    // Where the last frame starts when the audio ended inside it.
    std::optional<qint64> cutAt() const
    {
        return !m_lostAt && !m_pending.isEmpty() ? std::optional(m_at) : std::nullopt;
    }

private:
    qint64 m_at;  // where m_pending starts: the next frame
    qint64 m_end; // where the audio ends
    QByteArray m_pending;
    std::optional<qint64> m_lostAt;
};

// Reads count bytes at offset into into; a failed read is read again block
// by block, and the first block that fails again gives failedAt.
bool readBlock(const MediaFile &file, qint64 offset, qint64 count, char *into, Reading &reading)
{
    const qint64 got = file.readInto(offset, count, into);
    if (got == count)
        return true;
    if (got >= 0) {
        reading.failedAt = offset + got;
        reading.reason = QStringLiteral("the file ended before its size");
        return false;
    }
    for (qint64 at = offset; at < offset + count; at += RetryBytes) {
        const qint64 part = std::min(RetryBytes, offset + count - at);
        if (file.readInto(at, part, into + (at - offset)) != part) {
            reading.failedAt = at;
            reading.reason = SafeFileRead::systemReason(file.readError());
            return false;
        }
    }
    return true;
}

} // namespace

Reading readWhole(const QByteArray &path, const SafeFileRead::ReadSystemCalls *calls, WorkProgress *progress,
                  bool *stopped)
{
    Reading reading;
    const MediaFile file(AT_FDCWD, path.constData(), calls);
    reading.open = file.status();
    reading.reason = file.problem();
    if (!file.isOpen())
        return reading;
    reading.size = file.size();
    reading.mtime = file.modifiedSeconds();
    thread_local QByteArray block;
    block.resize(qsizetype(std::min(BlockBytes, std::max<qint64>(reading.size, 1))));
    const qint64 first = std::min(BlockBytes, reading.size);
    if (workStopped(progress) || !readBlock(file, 0, first, block.data(), reading)) {
        if (stopped)
            *stopped = workStopped(progress);
        return reading;
    }
    // The facts and the identity as the scan worked them out: by the same
    // function over the same bytes, so that they can only differ when the
    // file does. What they need of the first block is taken from it (a
    // small file's whole), not read again.
    const QByteArrayView start(block.constData(), qsizetype(first));
    reading.facts = StreamFacts::readStreamFacts(KnownBytes(file, {{0, start}}), start);
    const bool framed = reading.facts && reading.facts->rate;
    FrameFollower frames(framed ? reading.facts->audioStart : 0,
                         framed ? reading.facts->audioStart + reading.facts->audioLength : 0);
    for (qint64 at = 0, count = first;;) {
        frames.take(at, QByteArrayView(block.constData(), qsizetype(count)));
        if (progress)
            progress->done.fetch_add(count, std::memory_order_relaxed);
        at += count;
        if (at >= reading.size)
            break;
        if (workStopped(progress)) {
            if (stopped)
                *stopped = true;
            return reading;
        }
        count = std::min(BlockBytes, reading.size - at);
        if (!readBlock(file, at, count, block.data(), reading))
            return reading;
    }
    if (!reading.facts) // a read of the facts failed that the whole read did not meet again
        reading.facts = StreamFacts::readStreamFacts(file);
    reading.syncLostAt = frames.lostAt();
    reading.cutFrameAt = frames.cutAt();
    return reading;
}

Outcome run(const RowStore &rows, const QString &source, const MediaStates &states, WorkProgress *progress,
            int readers, const SafeFileRead::ReadSystemCalls *calls)
{
    Outcome outcome;
    outcome.source = source;
    const QByteArray sourceUtf8 = source.toUtf8();
    std::vector<QByteArray> paths;
    qint64 total = 0;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (rows.origin(row) != EntryOrigin::Own || rows.fieldUtf8(row, FieldSource) != sourceUtf8)
            continue;
        const QString path = rows.field(row, FieldFilename);
        outcome.files.push_back({row, path, Status::Ok, {}});
        paths.push_back(EntryPath::openPath(states.currentPath(path, source), rows.extensionUtf8(row)));
        total += ExtensionLine::integerValue(rows.extensionUtf8(row), "size").value_or(0);
    }
    std::vector<size_t> order(paths.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return walkLess(paths[a], paths[b]); });
    if (progress)
        progress->total.store(total, std::memory_order_release);

    if (readers <= 0) {
        const MediumState *state = states.state(source);
        readers = readersForMedium(state ? state->currentRoot : QString());
    }
    std::atomic<size_t> next{0};
    std::atomic_bool stopped{false};
    const auto readFiles = [&] {
        for (size_t i; !stopped && (i = next.fetch_add(1)) < order.size();) {
            bool stop = false;
            const Reading reading = readWhole(paths[order[i]], calls, progress, &stop);
            if (stop) {
                stopped = true;
                break;
            }
            FileResult &file = outcome.files[order[i]];
            const Verdict verdict = judge(rows.extensionUtf8(file.row), reading);
            file.status = verdict.status;
            file.detail = verdict.detail;
        }
    };
    QThreadPool pool;
    pool.setMaxThreadCount(readers);
    for (int i = 1; i < readers && size_t(i) < order.size(); ++i)
        pool.start(readFiles);
    readFiles(); // this thread is one of the readers
    pool.waitForDone();
    if (stopped) {
        outcome.stopped = true;
        outcome.files.clear();
        return outcome;
    }
    std::vector<FileResult> inOrder;
    inOrder.reserve(order.size());
    for (size_t i : order) {
        count(outcome.counts, outcome.files[i].status);
        inOrder.push_back(std::move(outcome.files[i]));
    }
    outcome.files = std::move(inOrder);
    outcome.counts.when = QDateTime::currentDateTimeUtc();
    return outcome;
}

RowEdits markEdits(const RowStore &rows, const Outcome &outcome)
{
    RowEdits edits;
    for (const FileResult &file : outcome.files) {
        const QByteArrayView line = rows.extensionUtf8(file.row);
        QByteArray marked = markedLine(line, file.status);
        if (marked != line)
            edits.extensions.push_back({file.row, std::move(marked)});
    }
    return edits;
}

} // namespace Verify
