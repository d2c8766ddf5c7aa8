#pragma once

#include "media/rawtrack.h"
#include "base/workprogress.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CodePageDecoder;

// The files a walk finds, handed to reader threads while the walk goes
// on, and their tracks taken back in walk order. The readers take the
// files in walk order too: one reader reads a medium front to back, as an
// optical drive wants it; several keep as many reads waiting on a disk or
// a memory stick, whose reads wait on the device, not on a core.
//
// One thread adds the files and takes the tracks; it decides how many it
// lets wait (pending), so what the feed holds stays bounded.
class TrackFeed
{
public:
    // Moved, never copied: a parsed track holds its texts as views into one
    // buffer of its own (packed), so the thread that takes it frees one
    // allocation, not one for each text, and the thread that parsed it
    // keeps its fields' room for the next file.
    struct Track
    {
        QByteArray folder; // the path of the file's folder
        QByteArray name;
        RawTrack raw; // read and its tags parsed (once taken)
        QByteArray packed;

        Track(QByteArray folder, QByteArray name) : folder(std::move(folder)), name(std::move(name)) {}
        Track(Track &&) = default;
        Track &operator=(Track &&) = default;
        Track(const Track &) = delete;
        Track &operator=(const Track &) = delete;
    };

    // Reads with readers threads, none once a stop is asked for; the tags
    // are parsed by each reader, or with one reader by the taking thread,
    // with a decoder of its own of the code page the ID3v1 text is in, the
    // fields chosen by the medium's tag preference. Opens and reads files
    // through calls when given (they must outlive the feed).
    TrackFeed(int readers, const WorkProgress *stop, const TagReading &reading,
              const SafeFileRead::ReadSystemCalls *calls = nullptr);
    ~TrackFeed(); // files still waiting are not read
    TrackFeed(const TrackFeed &) = delete;
    TrackFeed &operator=(const TrackFeed &) = delete;

    // The matching files of folder, in walk order, to be read; folderFd,
    // when not -1, is the folder open now (the walk's), which the readers
    // share rather than open the folder again; coverImage: the folder holds
    // a cover picture, which each file's facts note when its tag has none.
    void add(const QByteArray &folder, int folderFd, QByteArrayList &&names, bool coverImage = false);
    // No more files come.
    void finish();
    // Files added and not yet taken.
    qsizetype pending() const;
    // Moves the tracks read at the front, in walk order, into tracks (which
    // it empties first). When the next one is not read yet, waits for it
    // if wait is set, else takes none; false when nothing is pending.
    bool take(std::vector<Track> &tracks, bool wait);

private:
    // A folder of the files to read, open once for all readers: a
    // duplicate of the walk's descriptor while few are held, else opened
    // by its path by the first reader that needs it. Closed with the last
    // of its files.
    class Folder
    {
    public:
        Folder(const QByteArray &path, int listedFd, std::atomic_int &held, bool coverImage);
        ~Folder();
        Folder(const Folder &) = delete;
        Folder &operator=(const Folder &) = delete;
        // The descriptor, or -1 with the system's error number in error.
        int fd(int &error);
        bool coverImage() const { return m_coverImage; }

    private:
        const QByteArray m_path;
        std::atomic_int &m_held;
        std::once_flag m_opened;
        int m_fd = -1;
        int m_error = 0;
        bool m_duplicate = false;
        const bool m_coverImage;
    };

    struct Slot
    {
        Slot(const QByteArray &path, QByteArray &&name, const std::shared_ptr<Folder> &folder)
            : track(path, std::move(name)), folder(folder)
        {
        }
        Track track;
        std::shared_ptr<Folder> folder;
        bool read = false;
    };

    void readFiles(int index);
    // The next slots no reader has taken, a share of those waiting so the
    // readers take turns with few locks; none once the feed is finished
    // and every slot is taken. A reader past those working waits.
    void nextToRead(std::vector<Slot *> &slots, int index);
    // A reader's turn of files waited so many times on the medium.
    void noteWaits(long waits, size_t files);
    void markRead(const std::vector<Slot *> &slots);
    // The front slot is read, and the last of the next batch (under the lock).
    bool batchRead() const;
    bool abandoned() const;

    const WorkProgress *m_stop;
    mutable std::mutex m_mutex;
    std::condition_variable m_filesAdded; // readers wait on it
    std::condition_variable m_moreWorking; // readers past those working wait on it
    std::condition_variable m_frontRead;  // the taking thread waits on it
    std::atomic_int m_heldFolders{0}; // the walk's descriptors duplicated; before the slots that count them
    // From the next track to take to the last file added; references stay
    // valid while slots are added behind and taken in front.
    std::deque<Slot> m_slots;
    size_t m_unread = 0; // slots before it are taken by a reader
    bool m_finished = false;
    std::atomic_bool m_abandoned{false}; // by the destructor: what is left is not read
    bool m_taking = false; // the taking thread waits for a batch (batchRead)
    const int m_readerCount;
    // Readers at work: all while the medium makes them wait, down to one
    // more than the cores while it does not (reads from the page cache
    // never wait, and more threads only take turns on the cores).
    const int m_fewestWorking;
    int m_working;
    const TagReading m_reading;
    const SafeFileRead::ReadSystemCalls *const m_calls;
    // One reader only reads, in the medium's order, and the taking thread
    // parses the tags meanwhile on another core with this decoder of the
    // ID3v1 text; several readers parse as they read, each with its own.
    const std::unique_ptr<CodePageDecoder> m_takerCodepage;
    QThreadPool m_readers;
};
