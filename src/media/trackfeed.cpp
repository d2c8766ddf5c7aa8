#include "media/trackfeed.h"

#include "media/mediafile.h"
#include "base/codepage.h"

#include <QThread>

#include <algorithm>
#include <array>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Folders whose descriptors the feed holds at most: a walk may list many
// folders of one file each before their files are read, and every
// descriptor held is one a file cannot be opened with.
constexpr int MostHeldFolders = 64;
// A taking thread that waits is woken when this many tracks at the front
// are read (or all that are pending): a wake-up for a batch, not for each
// reader's turn, costs the readers little.
constexpr size_t TakeBatch = 256;

} // namespace

TrackFeed::Folder::Folder(const QByteArray &path, int listedFd, std::atomic_int &held, bool coverImage)
    : m_path(path), m_held(held), m_coverImage(coverImage)
{
    if (listedFd >= 0 && m_held.fetch_add(1) < MostHeldFolders) {
        m_fd = ::fcntl(listedFd, F_DUPFD_CLOEXEC, 0);
        m_duplicate = m_fd >= 0;
    }
    if (!m_duplicate)
        m_held.fetch_sub(1);
}

TrackFeed::Folder::~Folder()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_duplicate)
        m_held.fetch_sub(1);
}

int TrackFeed::Folder::fd(int &error)
{
    std::call_once(m_opened, [this] {
        if (m_fd < 0) {
            m_fd = openAtAnyLength(AT_FDCWD, m_path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_PATH);
            m_error = m_fd < 0 ? errno : 0;
        }
    });
    error = m_error;
    return m_fd;
}

namespace {

RawTrack readTrack(int folderFd, int error, const QByteArray &name, TagPreference prefer,
                   const SafeFileRead::ReadSystemCalls *calls)
{
    if (folderFd >= 0)
        return readRawTrack(MediaFile(folderFd, name.constData(), calls), prefer);
    RawTrack failed;
    failed.status = error == ENOENT || error == ENOTDIR ? SafeFileRead::Status::Missing : SafeFileRead::Status::Failed;
    failed.problem = SafeFileRead::systemReason(error);
    return failed;
}

// Parses the track's tags, then moves its texts into one buffer, each
// text then a view into it.
void parseAndPack(TrackFeed::Track &track, CodePageDecoder *codepage)
{
    parseRawTags(track.raw, codepage);
    RawTrack &raw = track.raw;
    const std::array<QByteArray *, 7> texts{&raw.tags.artist, &raw.tags.track, &raw.tags.album, &raw.tags.year,
                                            &raw.tags.genre, &raw.audioheader, &raw.extension};
    qsizetype total = 0;
    for (const QByteArray *text : texts)
        total += text->size();
    track.packed.resize(total);
    char *to = track.packed.data();
    for (QByteArray *text : texts) {
        const qsizetype size = text->size();
        if (size > 0)
            std::memcpy(to, text->constData(), size_t(size));
        *text = size > 0 ? QByteArray::fromRawData(to, size) : QByteArray();
        to += size;
    }
    raw.measured.reset(); // in the extension line now; freed here, not by the taking thread
}

// How often this thread has waited (slept) so far: on the medium when
// reading, as page faults and opens that go to the disk do.
long waitsOnThisThread()
{
    rusage usage{};
    return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

} // namespace

TrackFeed::TrackFeed(int readers, const WorkProgress *stop, const TagReading &reading,
                     const SafeFileRead::ReadSystemCalls *calls)
    : m_stop(stop), m_readerCount(readers), m_fewestWorking(std::min(readers, QThread::idealThreadCount() + 1)),
      m_working(readers), m_reading(reading), m_calls(calls),
      m_takerCodepage(readers == 1 ? std::make_unique<CodePageDecoder>(reading.codepage) : nullptr)
{
    m_readers.setMaxThreadCount(readers);
    for (int i = 0; i < readers; ++i)
        m_readers.start([this, i] { readFiles(i); });
}

TrackFeed::~TrackFeed()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_abandoned = true;
    }
    m_filesAdded.notify_all();
    m_moreWorking.notify_all();
    m_readers.waitForDone();
}

void TrackFeed::add(const QByteArray &folder, int folderFd, QByteArrayList &&names, bool coverImage)
{
    auto shared = std::make_shared<Folder>(folder, folderFd, m_heldFolders, coverImage);
    {
        std::lock_guard lock(m_mutex);
        for (QByteArray &name : names)
            m_slots.emplace_back(folder, std::move(name), shared); // built in place: a slot is large
    }
    if (names.size() == 1)
        m_filesAdded.notify_one();
    else
        m_filesAdded.notify_all();
}

void TrackFeed::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_filesAdded.notify_all();
}

qsizetype TrackFeed::pending() const
{
    std::lock_guard lock(m_mutex);
    return qsizetype(m_slots.size());
}

bool TrackFeed::take(std::vector<Track> &tracks, bool wait)
{
    tracks.clear();
    std::unique_lock lock(m_mutex);
    if (m_slots.empty())
        return false;
    if (wait && !batchRead()) {
        m_taking = true;
        m_frontRead.wait(lock, [this] { return batchRead(); });
        m_taking = false;
    }
    while (!m_slots.empty() && m_slots.front().read) {
        tracks.push_back(std::move(m_slots.front().track));
        m_slots.pop_front(); // the last file of a folder closes it
        --m_unread;
    }
    lock.unlock();
    if (m_takerCodepage)
        for (Track &track : tracks)
            parseAndPack(track, m_takerCodepage.get());
    return true;
}

bool TrackFeed::batchRead() const
{
    return m_slots.front().read && m_slots[std::min(m_slots.size(), TakeBatch) - 1].read;
}

void TrackFeed::readFiles(int index)
{
    // Opened once per reader and scan, when the readers parse.
    const auto codepage = m_takerCodepage ? nullptr : std::make_unique<CodePageDecoder>(m_reading.codepage);
    std::vector<Slot *> slots;
    for (nextToRead(slots, index); !slots.empty(); nextToRead(slots, index)) {
        const long switchesBefore = waitsOnThisThread();
        for (Slot *slot : slots) {
            if (abandoned())
                continue;
            Track &track = slot->track;
            int error = 0;
            const int folderFd = slot->folder->fd(error);
            track.raw = readTrack(folderFd, error, track.name, m_reading.prefer, m_calls);
            track.raw.folderImage = slot->folder->coverImage();
            if (codepage)
                parseAndPack(track, codepage.get());
        }
        noteWaits(waitsOnThisThread() - switchesBefore, slots.size());
        markRead(slots);
    }
}

void TrackFeed::noteWaits(long waits, size_t files)
{
    // Reads from the page cache never wait; reads from the medium wait
    // about once a file or more. A turn that waited for most of its files
    // brings one more reader back to work; a turn of several files that
    // never waited lets one rest.
    const bool waited = waits >= 2 && size_t(2 * waits) >= files;
    const bool quiet = waits == 0 && files >= 4;
    {
        std::lock_guard lock(m_mutex);
        if (waited && m_working < m_readerCount)
            ++m_working;
        else if (quiet && m_working > m_fewestWorking)
            --m_working;
        else
            return;
    }
    if (waited)
        m_moreWorking.notify_all();
}

void TrackFeed::nextToRead(std::vector<Slot *> &slots, int index)
{
    // Up to this many files per turn: few enough that the reads of a
    // turn still wait on the medium beside the other readers'.
    constexpr size_t MostPerTurn = 16;
    slots.clear();
    std::unique_lock lock(m_mutex);
    // A reader not at work waits until it is, or the feed is let go.
    m_moreWorking.wait(lock, [&] { return index < m_working || m_abandoned; });
    m_filesAdded.wait(lock, [this] { return m_unread < m_slots.size() || m_finished; });
    const size_t waiting = m_slots.size() - m_unread;
    const size_t share = std::clamp<size_t>(waiting / size_t(m_working), 1, MostPerTurn);
    for (size_t i = 0; i < share && m_unread < m_slots.size(); ++i)
        slots.push_back(&m_slots[m_unread++]);
}

void TrackFeed::markRead(const std::vector<Slot *> &slots)
{
    bool awaited = false;
    {
        std::lock_guard lock(m_mutex);
        for (Slot *slot : slots)
            slot->read = true;
        awaited = m_taking && batchRead();
    }
    if (awaited)
        m_frontRead.notify_one();
}

bool TrackFeed::abandoned() const
{
    return m_abandoned.load(std::memory_order_relaxed) || workStopped(m_stop);
}
