#include "media/mediascan.h"

#include "media/frameheader.h"
#include "media/id3v1.h"
#include "media/id3v2.h"
#include "media/mediafile.h"
#include "media/mediawalk.h"
#include "store/safefileread.h"

#include <QFile>
#include <QStorageInfo>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <array>
#include <memory>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The first read of every file: the tag header, and for most files
// without a large picture the first frame as well.
constexpr qint64 HeadBlock = 8 * 1024;
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

// What the reading of one file gives before any tag parsing: the header
// bits, the ID3v1 fields, or the ID3v2 text frames still to be parsed, all
// as UTF-8.
struct RawTrack
{
    TrackTagsUtf8 tags;
    QByteArray audioheader;
    SafeFileRead::Status status = SafeFileRead::Status::Missing;
    QString problem;
    QByteArray textTag;
};

void parseRawTags(RawTrack &raw)
{
    if (!raw.textTag.isEmpty()) {
        raw.tags = Id3v2::readTextTagUtf8(raw.textTag);
        raw.textTag = QByteArray();
    }
}

// The head and tail buffers are the reading thread's own (8 KiB at most);
// every other buffer is the call's own and is freed when it returns: a
// file with a large tag costs its reads only while it is being read.
RawTrack readRawTrack(const MediaFile &file)
{
    RawTrack raw;
    raw.status = file.status();
    raw.problem = file.problem();
    if (!file.isOpen())
        return raw;
    const qint64 size = file.size();

    // Each reading thread reuses its buffers: a file costs no allocation
    // for its head and tail.
    thread_local QByteArray head;
    if (!file.readAt(0, std::min(size, HeadBlock), head))
        return raw;

    std::array<char, 4> header;
    if (FrameHeader::headerBytesOfFile(file, head, header))
        raw.audioheader = FrameHeader::bitsTextUtf8(QByteArrayView(header.data(), 4));

    if (size >= Id3v1::TagSize) {
        thread_local QByteArray tail;
        QByteArrayView block;
        if (head.size() == size)
            block = QByteArrayView(head).last(Id3v1::TagSize);
        else if (file.readAt(size - Id3v1::TagSize, Id3v1::TagSize, tail))
            block = tail;
        if (Id3v1::isTag(block)) {
            raw.tags = Id3v1::parseTagUtf8(block);
            return raw;
        }
    }

    // No ID3v1 tag: the text frames of the ID3v2 tag at the start.
    raw.textTag = Id3v2::collectTextFrames(file, head);
    return raw;
}

// A path the walk took for a plain file that is not one when it is read
// (it vanished, or turned into a pipe) is skipped; a plain file whose tags
// cannot be read still becomes an entry with what could be read.
bool isImported(const RawTrack &raw)
{
    return raw.status != SafeFileRead::Status::Refused && raw.status != SafeFileRead::Status::Missing;
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

    const qsizetype total = qsizetype(walk.files.size());
    if (callbacks.importStarted)
        callbacks.importStarted(total);
    outcome.rows.reserve(total);
    const QByteArray sourceUtf8 = source.toUtf8();
    if (readers <= 0)
        readers = readersForMedium(root);

    // Files are read one after the other (a CD must not seek back and
    // forth), while the ID3v2 tags of the batch read before are parsed on
    // other cores.
    Batch parsing;
    QFuture<void> parsed;
    QByteArray path;
    const auto collect = [&] {
        parsed.waitForFinished();
        for (size_t k = 0; k < parsing.tracks.size(); ++k) {
            const WalkedFile &file = walk.files[parsing.indexes[k]];
            const RawTrack &raw = parsing.tracks[k];
            const QByteArray &folder = walk.folders[size_t(file.folder)];
            path.truncate(0);
            path.append(folder);
            if (!folder.endsWith('/'))
                path.append('/');
            path.append(file.name);
            if (isImported(raw)) {
                outcome.rows.appendUtf8({path, sourceUtf8, raw.tags.artist, raw.tags.track, raw.tags.album,
                                         raw.tags.year, raw.tags.genre, QByteArrayView(), raw.audioheader},
                                        EntryOrigin::Own);
            } else {
                outcome.skipped.append({QFile::decodeName(path), raw.problem,
                                        raw.status == SafeFileRead::Status::Missing ? SkippedFile::Missing
                                                                          : SkippedFile::NotPlainFile});
            }
        }
        parsing = Batch();
    };
    if (readers > 1) {
        // Several readers: one pool for the whole scan reads and parses
        // each batch, every file into its own slot, so the order stays the
        // walk's; the next batch is read while this thread adds the rows of
        // the one before.
        QThreadPool pool;
        pool.setMaxThreadCount(readers);
        struct Reading
        {
            Batch batch;
            std::vector<std::pair<qsizetype, FolderHandle>> folders; // the batch's folders, opened once
            std::vector<const FolderHandle *> folderOf;             // per file
            QFuture<void> done;
        };
        const auto start = [&](size_t first) {
            auto reading = std::make_unique<Reading>();
            const size_t last = std::min(walk.files.size(), first + size_t(BatchFiles));
            for (size_t i = first; i < last; ++i)
                if (reading->folders.empty() || reading->folders.back().first != walk.files[i].folder)
                    reading->folders.emplace_back(walk.files[i].folder, FolderHandle());
            for (auto &[index, handle] : reading->folders)
                handle.open(walk, index);
            reading->batch.tracks.resize(last - first);
            reading->batch.indexes.resize(last - first);
            reading->folderOf.resize(last - first);
            size_t at = 0;
            for (size_t k = 0; k < last - first; ++k) {
                reading->batch.indexes[k] = first + k;
                while (reading->folders[at].first != walk.files[first + k].folder)
                    ++at;
                reading->folderOf[k] = &reading->folders[at].second;
            }
            Reading *r = reading.get();
            reading->done = QtConcurrent::map(&pool, reading->batch.indexes, [&walk, r, first, stop](size_t i) {
                if (stopRequested(stop))
                    return;
                const size_t k = i - first;
                r->batch.tracks[k] = readOne(walk.files[i], *r->folderOf[k]);
                parseRawTags(r->batch.tracks[k]);
            });
            return reading;
        };
        std::unique_ptr<Reading> current = walk.files.empty() ? nullptr : start(0);
        while (current) {
            current->done.waitForFinished();
            const size_t first = current->batch.indexes.front();
            const size_t last = current->batch.indexes.back() + 1;
            std::unique_ptr<Reading> next = last < walk.files.size() && !stopRequested(stop) ? start(last) : nullptr;
            for (size_t i = first; i < last; ++i) {
                if (stopRequested(stop)) {
                    if (next)
                        next->done.waitForFinished();
                    outcome.rows.clear();
                    outcome.stopped = true;
                    return outcome;
                }
                if (callbacks.fileImported)
                    callbacks.fileImported(qsizetype(i) + 1, total);
            }
            parsing = std::move(current->batch);
            collect();
            current = std::move(next);
        }
        return outcome;
    }

    Batch reading;
    FolderHandle folder;
    for (size_t i = 0; i < walk.files.size(); ++i) {
        if (stopRequested(stop)) {
            // A stopped scan adds nothing: the catalogue stays as it was.
            parsed.waitForFinished();
            outcome.rows.clear();
            outcome.stopped = true;
            return outcome;
        }
        const WalkedFile &file = walk.files[i];
        folder.open(walk, file.folder);
        reading.tracks.push_back(readOne(file, folder));
        reading.indexes.push_back(i);
        reading.bytes += reading.tracks.back().textTag.size();
        if (callbacks.fileImported)
            callbacks.fileImported(qsizetype(i) + 1, total);
        if (qsizetype(reading.tracks.size()) >= BatchFiles || reading.bytes >= BatchBytes || i + 1 == walk.files.size()) {
            collect();
            parsing = std::move(reading);
            reading = Batch();
            parsed = QtConcurrent::map(parsing.tracks, parseRawTags);
        }
    }
    collect();
    return outcome;
}
