#pragma once

#include "base/plainfileopen.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <initializer_list>

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
    // Reads up to count bytes at offset into into, which has room for
    // them, for a reader that puts bytes behind others it has; the bytes
    // read, -1 on a read failure.
    virtual qint64 readInto(qint64 offset, qint64 count, char *into) const;
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

// A file seen through bytes of it read before (views that must outlive
// it): a read they hold whole is taken from them, any other goes to the
// file. The readers of one file's parts ask for the same bytes more than
// once; this way they cost one read.
class KnownBytes final : public ByteSource
{
public:
    struct Piece
    {
        qint64 at = 0;
        QByteArrayView bytes;
    };
    KnownBytes(const ByteSource &file, std::initializer_list<Piece> pieces);
    qint64 size() const override { return m_file.size(); }
    bool readAt(qint64 offset, qint64 count, QByteArray &out) const override;

private:
    const ByteSource &m_file;
    std::array<Piece, 3> m_pieces;
    size_t m_count = 0;
};

// A media file opened read-only for reads at given offsets, by
// SafeFileRead::openFile: the open never blocks (a named pipe or a device
// is refused, not waited on), and only a plain file is read. Every read is
// one system call into a caller's buffer, so callers decide how much they
// read. Closed on destruction.
class MediaFile final : public ByteSource
{
public:
    explicit MediaFile(const QString &path);
    // The same for a path given as its exact bytes (a name that is not UTF-8).
    explicit MediaFile(const QByteArray &path);
    // The file name inside the folder open as dirFd (AT_FDCWD for the
    // current folder or a full path), which a listing of the folder has
    // just shown to be a plain file (SafeFileRead::Lookup::Listed), opened
    // and read through calls when given (they must outlive the file).
    MediaFile(int dirFd, const char *name, const SafeFileRead::ReadSystemCalls *calls = nullptr);
    ~MediaFile() override;
    MediaFile(const MediaFile &) = delete;
    MediaFile &operator=(const MediaFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Read when the file is open. Missing also for a path through a file
    // or a loop of links: for a scan such a file is not there. Refused: not
    // a plain file.
    SafeFileRead::Status status() const { return m_status; }
    // Why the file is not open, in words as a scan lists it ("not a plain
    // file (a named pipe)"); empty when it is.
    QString problem() const { return m_problem; }
    qint64 size() const override { return m_size; }
    // The file's modification time, in whole seconds since 1970 (UTC).
    qint64 modifiedSeconds() const { return m_modifiedSeconds; }
    bool readAt(qint64 offset, qint64 count, QByteArray &out) const override;
    qint64 readInto(qint64 offset, qint64 count, char *into) const override;
    // The system's error number of the first read that failed, 0 when none
    // did: the readers of tags and facts take a failed read for a file
    // without them, so the scan asks here whether the file was read at all.
    int readError() const { return m_readError; }

private:
    MediaFile(int dirFd, const char *name, SafeFileRead::Lookup lookup, const SafeFileRead::ReadSystemCalls *calls);

    const SafeFileRead::ReadSystemCalls *m_calls = nullptr;
    mutable int m_readError = 0;
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_modifiedSeconds = 0;
    SafeFileRead::Status m_status = SafeFileRead::Status::Missing;
    QString m_problem;
};
