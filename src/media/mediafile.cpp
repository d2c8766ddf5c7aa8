#include "media/mediafile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool MemorySource::readAt(qint64 offset, qint64 count, QByteArray &out) const
{
    out.clear();
    if (offset < 0 || count < 0)
        return false;
    if (offset < m_bytes.size())
        out = m_bytes.sliced(offset, std::min(count, m_bytes.size() - offset)).toByteArray();
    return true;
}

MediaFile::MediaFile(const QString &path)
    : MediaFile(AT_FDCWD, QFile::encodeName(path).constData(), SafeFileRead::Lookup::First, nullptr)
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
    count = std::min(count, m_size - offset);
    out.resize(qsizetype(count));
    qint64 done = 0;
    while (done < count) {
        char *into = out.data() + done;
        const qint64 n = m_calls && m_calls->readAt ? m_calls->readAt(m_fd, into, count - done, offset + done)
                                                    : ::pread(m_fd, into, size_t(count - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (m_readError == 0)
                m_readError = errno;
            out.clear();
            return false;
        }
        if (n == 0)
            break; // the file shrank since it was opened
        done += n;
    }
    out.truncate(qsizetype(done));
    return true;
}
