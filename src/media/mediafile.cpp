#include "media/mediafile.h"

#include <QFile>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

MediaFile::MediaFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return;
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return;
    struct stat st;
    // Only plain files: a folder or a device named like an MP3 is not read.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_size = st.st_size;
}

MediaFile::~MediaFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool MediaFile::readAt(qint64 offset, qint64 count, QByteArray &out) const
{
    // resize keeps the allocation, so a buffer reused for many files is
    // allocated once.
    out.resize(0);
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
            out.resize(0);
            return false;
        }
        if (n == 0)
            break; // the file shrank since it was opened
        done += n;
    }
    out.truncate(qsizetype(done));
    return true;
}
