#include "base/filestamp.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

FileStamp FileStamp::of(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return fromStat(st);
}

FileStamp FileStamp::fromStat(const struct stat &st)
{
    FileStamp stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    return stamp;
}

bool FileStamp::replacingLosesChanges(const QString &path, const FileStamp &known)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) == 0)
        return fromStat(st) != known;
    // Only a file that surely is not there is gone; one that cannot be
    // looked at may still hold something.
    const bool gone = errno == ENOENT || errno == ENOTDIR;
    return !gone && known != FileStamp();
}
