#include "media/mediafile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

qint64 ByteSource::readInto(qint64 offset, qint64 count, char *into) const
{
    QByteArray bytes;
    if (!readAt(offset, count, bytes))
        return -1;
    std::memcpy(into, bytes.constData(), size_t(bytes.size()));
    return bytes.size();
}

bool MemorySource::readAt(qint64 offset, qint64 count, QByteArray &out) const
{
    out.clear();
    if (offset < 0 || count < 0)
        return false;
    if (offset < m_bytes.size())
        out = m_bytes.sliced(offset, std::min(count, m_bytes.size() - offset)).toByteArray();
    return true;
}

KnownBytes::KnownBytes(const ByteSource &file, std::initializer_list<Piece> pieces) : m_file(file)
{
    for (const Piece &piece : pieces)
        if (!piece.bytes.isEmpty() && m_count < m_pieces.size())
            m_pieces[m_count++] = piece;
}

bool KnownBytes::readAt(qint64 offset, qint64 count, QByteArray &out) const
{
    if (offset >= 0 && count > 0) {
        const qint64 end = std::min(offset + count, size());
        for (size_t i = 0; i < m_count; ++i) {
            const Piece &piece = m_pieces[i];
            if (piece.at <= offset && end <= piece.at + piece.bytes.size() && offset < end) {
                out.resize(qsizetype(end - offset));
                std::memcpy(out.data(), piece.bytes.data() + (offset - piece.at), size_t(end - offset));
                return true;
            }
        }
    }
    return m_file.readAt(offset, count, out);
}

MediaFile::MediaFile(const QString &path)
    : MediaFile(AT_FDCWD, QFile::encodeName(path).constData(), SafeFileRead::Lookup::First, nullptr)
{
}

MediaFile::MediaFile(const QByteArray &path)
    : MediaFile(AT_FDCWD, path.constData(), SafeFileRead::Lookup::First, nullptr)
{
}

MediaFile::MediaFile(int dirFd, const char *name, const SafeFileRead::ReadSystemCalls *calls)
    : MediaFile(dirFd, name, SafeFileRead::Lookup::Listed, calls)
{
}

MediaFile::MediaFile(int dirFd, const char *name, SafeFileRead::Lookup lookup,
                     const SafeFileRead::ReadSystemCalls *calls)
    : m_calls(calls)
{
    using SafeFileRead::Status;
    if (!name || !*name) {
        m_problem = QStringLiteral("no file name");
        return;
    }
    SafeFileRead::OpenedFile file = SafeFileRead::openFile(dirFd, name, lookup, calls);
    m_status = file.status;
    // For a scan, a path through a file, a loop of links or a link to
    // nothing is not there.
    if (file.status == Status::Failed && (file.error == ENOTDIR || file.error == ELOOP || file.error == ENOENT))
        m_status = Status::Missing;
    m_problem = file.status == Status::Refused
                    ? SafeFileRead::notPlainFileReason(file.mode, SafeFileRead::ReasonForm::Listing)
                    : file.reason;
    if (file.ok()) {
        m_size = file.stamp.size;
        // Floor, not truncation: a time before 1970 stays in its second.
        m_modifiedSeconds = file.stamp.modifiedNs / 1'000'000'000
                            - (file.stamp.modifiedNs % 1'000'000'000 < 0 ? 1 : 0);
        m_fd = file.release();
    }
}

MediaFile::~MediaFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool MediaFile::readAt(qint64 offset, qint64 count, QByteArray &out) const
{
    out.truncate(0); // keeps its room: callers reuse one buffer
    if (m_fd < 0 || offset < 0 || count < 0)
        return false;
    if (offset >= m_size || count == 0)
        return true;
    out.resize(qsizetype(std::min(count, m_size - offset)));
    const qint64 done = readInto(offset, out.size(), out.data());
    if (done < 0) {
        out.clear();
        return false;
    }
    out.truncate(qsizetype(done));
    return true;
}

qint64 MediaFile::readInto(qint64 offset, qint64 count, char *into) const
{
    if (m_fd < 0 || offset < 0 || count < 0)
        return -1;
    count = std::max<qint64>(0, std::min(count, m_size - offset));
    qint64 done = 0;
    while (done < count) {
        const qint64 n = m_calls && m_calls->readAt
                             ? m_calls->readAt(m_fd, into + done, count - done, offset + done)
                             : ::pread(m_fd, into + done, size_t(count - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (m_readError == 0)
                m_readError = errno;
            return -1;
        }
        if (n == 0)
            break; // the file shrank since it was opened
        done += n;
    }
    return done;
}
