#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Bytes read at given offsets, from a file or from memory, so the tag and
// frame header readers run the same code over both.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual qint64 size() const = 0;
    // Reads up to count bytes at offset into out, which is resized to the
    // bytes read (fewer at the end). False on a read failure.
    virtual bool readAt(qint64 offset, qint64 count, QByteArray &out) const = 0;
};

// Bytes already in memory; the view must outlive the source.
class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(QByteArrayView bytes) : m_bytes(bytes) {}
    qint64 size() const override { return m_bytes.size(); }
    bool readAt(qint64 offset, qint64 count, QByteArray &out) const override;

private:
    QByteArrayView m_bytes;
};

// How the opening of a media file went.
enum class FileStatus {
    Open,         // a plain file, open for reading
    Missing,      // nothing (or a dangling link) at the path
    NotPlainFile, // a folder, named pipe, device or socket: never read
    Unreadable,   // it exists but could not be opened (rights, I/O error)
};

// openat() for a path of any length: a path the system refuses as too long
// (PATH_MAX, 4,096 bytes here) is opened in steps, each relative to the
// folder the step before opened. A descriptor, or -1 with errno set.
int openAtAnyLength(int dirFd, const char *path, int flags);

// Why a file of the given st_mode is not read: "not a plain file (a named
// pipe)" and the like.
QString notPlainFileReason(unsigned mode);

// A media file opened read-only for reads at given offsets. The open never
// blocks (a named pipe or a device is refused, not waited on), and only a
// plain file is read. Every read is one system call into a caller's
// buffer, so callers decide how much they read. Closed on destruction.
class MediaFile final : public ByteSource
{
public:
    explicit MediaFile(const QString &path);
    // The file name inside the folder open as dirFd (AT_FDCWD for the
    // current folder or a full path).
    MediaFile(int dirFd, const char *name);
    ~MediaFile() override;
    MediaFile(const MediaFile &) = delete;
    MediaFile &operator=(const MediaFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    FileStatus status() const { return m_status; }
    // Why the file is not open, in words; empty when it is.
    QString problem() const { return m_problem; }
    qint64 size() const override { return m_size; }
    bool readAt(qint64 offset, qint64 count, QByteArray &out) const override;

private:
    int m_fd = -1;
    qint64 m_size = 0;
    FileStatus m_status = FileStatus::Missing;
    QString m_problem;
};
