#include "media/mediafile.h"

#include "store/safefileread.h"

#include <QFile>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openAtAnyLength(int dirFd, const char *path, int flags)
{
    int fd;
    do {
        fd = ::openat(dirFd, path, flags);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;
    // Steps of whole folder names, each shorter than PATH_MAX. No name is
    // longer than NAME_MAX, so every step takes at least one name.
    QByteArrayView rest(path);
    int base = dirFd;
    int error = ENAMETOOLONG;
    fd = -1;
    while (!rest.isEmpty()) {
        QByteArrayView step = rest;
        qsizetype next = rest.size();
        if (rest.size() >= PATH_MAX) {
            const qsizetype cut = rest.first(PATH_MAX - 1).lastIndexOf('/');
            if (cut < 0)
                break; // a name longer than any file system allows
            step = rest.first(cut == 0 ? 1 : cut); // a leading "/" is a step of its own
            next = cut + 1;
        }
        const QByteArray stepPath = step.toByteArray();
        const bool last = next >= rest.size();
        int opened;
        do {
            opened = ::openat(base, stepPath.constData(), last ? flags : O_PATH | O_DIRECTORY | O_CLOEXEC);
        } while (opened < 0 && errno == EINTR);
        error = errno;
        if (base != dirFd)
            ::close(base);
        if (opened < 0) {
            base = dirFd;
            break;
        }
        base = opened;
        rest = rest.sliced(std::min(next, rest.size()));
        if (last) {
            fd = opened;
            break;
        }
    }
    if (fd < 0) {
        if (base != dirFd)
            ::close(base);
        errno = error;
    }
    return fd;
}

QString notPlainFileReason(unsigned mode)
{
    const QString kind = SafeFileRead::kindName(mode);
    return QStringLiteral("not a plain file (%1)").arg(kind.isEmpty() ? QStringLiteral("a special file") : kind);
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

MediaFile::MediaFile(const QString &path) : MediaFile(AT_FDCWD, QFile::encodeName(path).constData())
{
}

MediaFile::MediaFile(int dirFd, const char *name)
{
    if (!name || !*name) {
        m_problem = QStringLiteral("no file name");
        return;
    }
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    const int fd = openAtAnyLength(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        m_status = error == ENOENT || error == ENOTDIR || error == ELOOP ? FileStatus::Missing : FileStatus::Unreadable;
        m_problem = SafeFileRead::systemReason(error);
        return;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        m_status = FileStatus::Unreadable;
        m_problem = SafeFileRead::systemReason(errno);
        ::close(fd);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        m_status = FileStatus::NotPlainFile;
        m_problem = notPlainFileReason(st.st_mode);
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_size = st.st_size;
    m_status = FileStatus::Open;
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
        const ssize_t n = ::pread(m_fd, out.data() + done, size_t(count - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
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
