#include "media/trackfeed.h"

#include "media/mediafile.h"
#include "base/codepage.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The folder of the files a reader reads, open so that each file opens by
// its name alone. A reader takes files in walk order, so it mostly reads
// several files of one folder in a row.
class FolderHandle
{
public:
    FolderHandle() = default;
    ~FolderHandle() { close(); }
    FolderHandle(const FolderHandle &) = delete;
    FolderHandle &operator=(const FolderHandle &) = delete;

    RawTrack read(const QByteArray &folder, qint64 serial, const QByteArray &name, CodePageDecoder &codepage,
                  TagPreference prefer, const SafeFileRead::ReadSystemCalls *calls)
    {
        if (serial != m_serial) {
            close();
            m_serial = serial;
            m_fd = openAtAnyLength(AT_FDCWD, folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_PATH);
            m_error = m_fd < 0 ? errno : 0;
        }
        if (m_fd >= 0)
            return readRawTrack(MediaFile(m_fd, name.constData(), calls), &codepage, prefer);
        RawTrack failed;
        failed.status = m_error == ENOENT || m_error == ENOTDIR ? SafeFileRead::Status::Missing
                                                                : SafeFileRead::Status::Failed;
        failed.problem = SafeFileRead::systemReason(m_error);
        return failed;
    }

private:
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    qint64 m_serial = 0;
    int m_fd = -1;
    int m_error = 0;
};

} // namespace

TrackFeed::TrackFeed(int readers, const WorkProgress *stop, const TagReading &reading,
                     const SafeFileRead::ReadSystemCalls *calls)
    : m_stop(stop), m_readerCount(readers), m_reading(reading), m_calls(calls)
{
    m_readers.setMaxThreadCount(readers);
    for (int i = 0; i < readers; ++i)
        m_readers.start([this] { readFiles(); });
}

TrackFeed::~TrackFeed()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_abandoned = true;
    }
    m_filesAdded.notify_all();
    m_readers.waitForDone();
}

void TrackFeed::add(const QByteArray &folder, QByteArrayList &&names)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_folders;
        for (QByteArray &name : names)
            m_slots.push_back({{folder, std::move(name), {}}, m_folders, false});
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
    if (wait && !m_slots.front().read) {
        m_taking = true;
        m_frontRead.wait(lock, [this] { return m_slots.front().read; });
        m_taking = false;
    }
    while (!m_slots.empty() && m_slots.front().read) {
        tracks.push_back(std::move(m_slots.front().track));
        m_slots.pop_front();
        --m_unread;
    }
    return true;
}

void TrackFeed::readFiles()
{
    FolderHandle folder;
    CodePageDecoder codepage(m_reading.codepage); // opened once per reader and scan
    std::vector<Slot *> slots;
    for (nextToRead(slots); !slots.empty(); nextToRead(slots)) {
        for (Slot *slot : slots) {
            if (abandoned())
                continue;
            Track &track = slot->track;
            track.raw = folder.read(track.folder, slot->folderSerial, track.name, codepage, m_reading.prefer, m_calls);
            parseRawTags(track.raw);
        }
        markRead(slots);
    }
}

void TrackFeed::nextToRead(std::vector<Slot *> &slots)
{
    // Up to this many files per turn: few enough that the reads of a
    // turn still wait on the medium beside the other readers'.
    constexpr size_t MostPerTurn = 16;
    slots.clear();
    std::unique_lock lock(m_mutex);
    m_filesAdded.wait(lock, [this] { return m_unread < m_slots.size() || m_finished; });
    const size_t waiting = m_slots.size() - m_unread;
    const size_t share = std::clamp<size_t>(waiting / size_t(m_readerCount), 1, MostPerTurn);
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
        awaited = m_taking && m_slots.front().read;
    }
    if (awaited)
        m_frontRead.notify_one();
}

bool TrackFeed::abandoned() const
{
    return m_abandoned.load(std::memory_order_relaxed) || workStopped(m_stop);
}
