#pragma once

#include "store/atomicsave.h"

#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

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
