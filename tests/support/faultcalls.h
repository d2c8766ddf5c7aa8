#pragma once

#include "base/atomicsave.h"
#include "base/plainfileopen.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

// System calls for a writer that fail the count-th call (1-based) of one
// step ("open", "write", "sync" or "rename") with error and make every
// other call for real; *reached tells whether the failing call came.
inline SaveSystemCalls failingCalls(const QString &step, int count, int error, std::shared_ptr<bool> reached)
{
    auto calls = std::make_shared<int>(0);
    const auto fails = [=] {
        if (++*calls != count)
            return false;
        *reached = true;
        errno = error;
        return true;
    };
    SaveSystemCalls out;
    if (step == QLatin1String("open"))
        out.open = [=](const char *path, int flags, int mode) { return fails() ? -1 : ::open(path, flags, mode); };
    else if (step == QLatin1String("write"))
        out.write = [=](int fd, const char *data, qint64 size) -> qint64 {
            return fails() ? -1 : ::write(fd, data, size_t(size));
        };
    else if (step == QLatin1String("sync"))
        out.sync = [=](int fd) { return fails() ? -1 : ::fsync(fd); };
    else
        out.rename = [=](const char *from, const char *to) { return fails() ? -1 : ::rename(from, to); };
    return out;
}

// System calls for a scan's readers that fail every open (step "open") or
// every read (step "read") of the files at paths with error, as a
// scratched disc does, and make every other call for real. The files are
// known by their inode, so the calls may run on any reader thread.
// The paths are given as their exact bytes (a name that is not UTF-8).
inline SafeFileRead::ReadSystemCalls failingReads(const QByteArrayList &paths, const QString &step, int error)
{
    std::vector<std::pair<dev_t, ino_t>> files;
    for (const QByteArray &path : paths) {
        struct stat st;
        if (::stat(path.constData(), &st) == 0)
            files.emplace_back(st.st_dev, st.st_ino);
    }
    const auto failing = [files](int fd) {
        struct stat st;
        return ::fstat(fd, &st) == 0
               && std::find(files.begin(), files.end(), std::pair(st.st_dev, st.st_ino)) != files.end();
    };
    SafeFileRead::ReadSystemCalls calls;
    if (step == QLatin1String("open"))
        calls.open = [=](int dirFd, const char *name, int flags) {
            const int fd = openAtAnyLength(dirFd, name, flags);
            if (fd < 0 || !failing(fd))
                return fd;
            ::close(fd);
            errno = error;
            return -1;
        };
    else
        calls.readAt = [=](int fd, char *buffer, qint64 size, qint64 offset) -> qint64 {
            if (failing(fd)) {
                errno = error;
                return -1;
            }
            return ::pread(fd, buffer, size_t(size), off_t(offset));
        };
    return calls;
}

inline SafeFileRead::ReadSystemCalls failingReads(const QStringList &paths, const QString &step, int error)
{
    QByteArrayList exact;
    for (const QString &path : paths)
        exact.append(QFile::encodeName(path));
    return failingReads(exact, step, error);
}
