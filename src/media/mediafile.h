#pragma once

#include <QByteArray>
#include <QString>

// A media file opened read-only for reads at given offsets. Every read is
// one system call into a caller's buffer, so callers decide how much they
// read; nothing goes byte by byte to the disk. Closed on destruction.
class MediaFile
{
public:
    explicit MediaFile(const QString &path);
    ~MediaFile();
    MediaFile(const MediaFile &) = delete;
    MediaFile &operator=(const MediaFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    qint64 size() const { return m_size; }

    // Reads up to count bytes at offset into out, which is resized to the
    // bytes read (fewer at the end of the file). False on a read failure.
    bool readAt(qint64 offset, qint64 count, QByteArray &out) const;

private:
    int m_fd = -1;
    qint64 m_size = 0;
};
