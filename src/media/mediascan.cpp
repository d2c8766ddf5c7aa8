#include "media/mediascan.h"

#include "media/mediafile.h"
#include "media/mediawalk.h"
#include "media/rawtrack.h"
#include "store/safefileread.h"

#include <QFile>
#include <QStorageInfo>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <memory>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Files read ahead of the parsing, per batch: a batch is handed to the
// parsing threads when it holds this many files or this many tag bytes,
// whichever comes first. With one batch parsing while the next is read,
// the bytes in flight stay near twice the byte budget plus one file's
// reads, whatever the files hold.
constexpr qsizetype BatchFiles = 256;
constexpr qint64 BatchBytes = 1024 * 1024;
// Files read at once on media that are not optical: one per core, so a
// warm scan does not have more readers than cores to share, but at least
// two, so a cold one always has a second read waiting on the medium, and
// at most four, past which a disk gains nothing.
int parallelReaders()
{
    return std::clamp(QThread::idealThreadCount(), 2, 4);
}

bool stopRequested(const std::atomic_bool *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

struct Batch
{
    std::vector<RawTrack> tracks;
    std::vector<size_t> indexes; // into the walk's files
    qint64 bytes = 0;
};

// The folder of the files being read, open so that each file opens by its
// name alone.
class FolderHandle
{
public:
    ~FolderHandle() { close(); }
    // The descriptor of the walk's folder index, or -1 with the reason.
    int open(const ByteWalkResult &walk, qsizetype index)
    {
        if (index == m_index)
            return m_fd;
        close();
        m_index = index;
        m_fd = openAtAnyLength(AT_FDCWD, walk.folders[size_t(index)].constData(),
                               O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_PATH);
        m_error = m_fd < 0 ? errno : 0;
        return m_fd;
    }
    int error() const { return m_error; }
    int fd() const { return m_fd; }
    FolderHandle() = default;
    FolderHandle(FolderHandle &&other) noexcept
        : m_index(other.m_index), m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error)
    {
    }
    FolderHandle &operator=(FolderHandle &&) = delete;

private:
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    qsizetype m_index = -1;
    int m_fd = -1;
    int m_error = 0;
};

// One file of the walk, opened in its folder.
RawTrack readOne(const WalkedFile &file, const FolderHandle &folder)
{
    if (folder.fd() >= 0)
        return readRawTrack(MediaFile(folder.fd(), file.name.constData()));
    RawTrack failed;
    const int error = folder.error();
    failed.status = error == ENOENT || error == ENOTDIR ? SafeFileRead::Status::Missing : SafeFileRead::Status::Failed;
    failed.problem = SafeFileRead::systemReason(error);
    return failed;
}

// A batch being read and parsed by a pool: every file into its own slot,
// so the order stays the walk's.
struct Reading
{
    Batch batch;
    std::vector<std::pair<qsizetype, FolderHandle>> folders; // the batch's folders, opened once
    std::vector<const FolderHandle *> folderOf;             // per file
    QFuture<void> done;
};

// The import of a walk's files into the outcome's rows, in walk order.
class Import
{
public:
    Import(const ByteWalkResult &walk, const QString &source, const ScanCallbacks &callbacks,
           const std::atomic_bool *stop, ScanOutcome &outcome)
        : m_walk(walk), m_callbacks(callbacks), m_stop(stop), m_outcome(outcome), m_sourceUtf8(source.toUtf8()),
          m_total(qsizetype(walk.files.size()))
    {
    }

    // Files read one after the other (a CD must not seek back and forth),
    // while the ID3v2 tags of the batch read before are parsed on other
    // cores.
    void inOrder();
    // Several readers: one pool for the whole scan reads and parses each
    // batch; the next batch is read while this thread adds the rows of the
    // one before.
    void withReaders(int readers);

private:
    std::unique_ptr<Reading> startReading(QThreadPool &pool, size_t first) const;
    // The rows of a batch whose tags are parsed, or the reasons it was skipped.
    void addRows(const Batch &batch);
    // A stopped scan adds nothing: the catalogue stays as it was.
    void stopped();

    const ByteWalkResult &m_walk;
    const ScanCallbacks &m_callbacks;
    const std::atomic_bool *m_stop;
    ScanOutcome &m_outcome;
    const QByteArray m_sourceUtf8;
    const qsizetype m_total;
    QByteArray m_path; // the path of the file being added, reused
};

void Import::addRows(const Batch &batch)
{
    for (size_t k = 0; k < batch.tracks.size(); ++k) {
        const WalkedFile &file = m_walk.files[batch.indexes[k]];
        const RawTrack &raw = batch.tracks[k];
        const QByteArray &folder = m_walk.folders[size_t(file.folder)];
        m_path.truncate(0);
        m_path.append(folder);
        if (!folder.endsWith('/'))
            m_path.append('/');
        m_path.append(file.name);
        if (isImported(raw)) {
            m_outcome.rows.appendUtf8({m_path, m_sourceUtf8, raw.tags.artist, raw.tags.track, raw.tags.album,
                                       raw.tags.year, raw.tags.genre, QByteArrayView(), raw.audioheader},
                                      EntryOrigin::Own);
        } else {
            m_outcome.skipped.append({QFile::decodeName(m_path), raw.problem,
                                      raw.status == SafeFileRead::Status::Missing ? SkippedFile::Missing
                                                                        : SkippedFile::NotPlainFile});
        }
    }
}

void Import::stopped()
{
    m_outcome.rows.clear();
    m_outcome.stopped = true;
}

void Import::inOrder()
{
    Batch reading, parsing;
    QFuture<void> parsed;
    FolderHandle folder;
    for (size_t i = 0; i < m_walk.files.size(); ++i) {
        if (stopRequested(m_stop)) {
            parsed.waitForFinished();
            stopped();
            return;
        }
        const WalkedFile &file = m_walk.files[i];
        folder.open(m_walk, file.folder);
        reading.tracks.push_back(readOne(file, folder));
        reading.indexes.push_back(i);
        reading.bytes += reading.tracks.back().textTag.size();
        if (m_callbacks.fileImported)
            m_callbacks.fileImported(qsizetype(i) + 1, m_total);
        if (qsizetype(reading.tracks.size()) >= BatchFiles || reading.bytes >= BatchBytes || i + 1 == m_walk.files.size()) {
            parsed.waitForFinished();
            addRows(parsing);
            parsing = std::move(reading);
            reading = Batch();
            parsed = QtConcurrent::map(parsing.tracks, parseRawTags);
        }
    }
    parsed.waitForFinished();
    addRows(parsing);
}

std::unique_ptr<Reading> Import::startReading(QThreadPool &pool, size_t first) const
{
    auto reading = std::make_unique<Reading>();
    const size_t last = std::min(m_walk.files.size(), first + size_t(BatchFiles));
    for (size_t i = first; i < last; ++i)
        if (reading->folders.empty() || reading->folders.back().first != m_walk.files[i].folder)
            reading->folders.emplace_back(m_walk.files[i].folder, FolderHandle());
    for (auto &[index, handle] : reading->folders)
        handle.open(m_walk, index);
    reading->batch.tracks.resize(last - first);
    reading->batch.indexes.resize(last - first);
    reading->folderOf.resize(last - first);
    size_t at = 0;
    for (size_t k = 0; k < last - first; ++k) {
        reading->batch.indexes[k] = first + k;
        while (reading->folders[at].first != m_walk.files[first + k].folder)
            ++at;
        reading->folderOf[k] = &reading->folders[at].second;
    }
    Reading *r = reading.get();
    reading->done = QtConcurrent::map(&pool, reading->batch.indexes, [&walk = m_walk, r, first, stop = m_stop](size_t i) {
        if (stopRequested(stop))
            return;
        const size_t k = i - first;
        r->batch.tracks[k] = readOne(walk.files[i], *r->folderOf[k]);
        parseRawTags(r->batch.tracks[k]);
    });
    return reading;
}

void Import::withReaders(int readers)
{
    QThreadPool pool;
    pool.setMaxThreadCount(readers);
    std::unique_ptr<Reading> current = m_walk.files.empty() ? nullptr : startReading(pool, 0);
    while (current) {
        current->done.waitForFinished();
        const size_t first = current->batch.indexes.front();
        const size_t last = current->batch.indexes.back() + 1;
        std::unique_ptr<Reading> next =
            last < m_walk.files.size() && !stopRequested(m_stop) ? startReading(pool, last) : nullptr;
        for (size_t i = first; i < last; ++i) {
            if (stopRequested(m_stop)) {
                if (next)
                    next->done.waitForFinished();
                stopped();
                return;
            }
            if (m_callbacks.fileImported)
                m_callbacks.fileImported(qsizetype(i) + 1, m_total);
        }
        addRows(current->batch);
        current = std::move(next);
    }
}

} // namespace

TrackInfo readTrackInfo(const QString &path)
{
    RawTrack raw = readRawTrack(MediaFile(path));
    parseRawTags(raw);
    return {raw.tags.toTags(), QString::fromUtf8(raw.audioheader), raw.status, raw.problem};
}

QString leftOutSummary(const ScanOutcome &outcome)
{
    struct Kind
    {
        SkippedFile::Kind kind;
        const char *one;
        const char *many;
    };
    static constexpr Kind Kinds[] = {
        {SkippedFile::NameNotUtf8, "name not valid UTF-8", "names not valid UTF-8"},
        {SkippedFile::NameWithLineBreak, "name with a line break", "names with a line break"},
        {SkippedFile::NotPlainFile, "not a plain file", "not plain files"},
        {SkippedFile::Missing, "missing", "missing"}};
    QStringList counts;
    for (const Kind &k : Kinds) {
        const auto n = std::count_if(outcome.skipped.cbegin(), outcome.skipped.cend(),
                                     [&](const SkippedFile &file) { return file.kind == k.kind; });
        if (n > 0)
            counts.append(QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? k.one : k.many)));
    }
    QStringList parts;
    if (!outcome.skipped.isEmpty())
        parts.append(QStringLiteral("%1 skipped (%2)")
                         .arg(outcome.skipped.size())
                         .arg(counts.join(QStringLiteral(", "))));
    if (const qsizetype n = outcome.failedFolders.size(); n > 0)
        parts.append(QStringLiteral("%1 %2 could not be read").arg(n).arg(n == 1 ? QStringLiteral("folder")
                                                                              : QStringLiteral("folders")));
    return parts.join(QStringLiteral(", "));
}

int readersForMedium(const QString &root)
{
    const QByteArray type = QStorageInfo(root).fileSystemType().toLower();
    return type == "iso9660" || type == "udf" ? 1 : parallelReaders();
}

ScanOutcome scanMedia(const QString &root, const QString &source, const ScanCallbacks &callbacks,
                      const std::atomic_bool *stop, int readers)
{
    ScanOutcome outcome;
    WalkCallbacks walkCallbacks;
    walkCallbacks.folderEntered = callbacks.folderEntered;
    ByteWalkResult walk = MediaWalk::walkBytes(root, QStringLiteral("*.MP3"), walkCallbacks, stop);
    outcome.failedFolders = std::move(walk.failedFolders);
    outcome.skipped = std::move(walk.skipped);
    if (walk.stopped) {
        outcome.stopped = true;
        return outcome;
    }

    if (callbacks.importStarted)
        callbacks.importStarted(qsizetype(walk.files.size()));
    outcome.rows.reserve(qsizetype(walk.files.size()));
    if (readers <= 0)
        readers = readersForMedium(root);
    Import import(walk, source, callbacks, stop, outcome);
    if (readers > 1)
        import.withReaders(readers);
    else
        import.inOrder();
    return outcome;
}
