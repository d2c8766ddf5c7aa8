#pragma once

#include <QString>

struct stat;

// What a file looked like when it was last read or written: enough to
// notice that another program replaced or changed it since.
struct FileStamp
{
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0; // modification time, nanoseconds since the epoch
    quint64 device = 0;
    quint64 inode = 0;

    static FileStamp of(const QString &path); // follows links
    static FileStamp fromStat(const struct stat &st);
    bool operator==(const FileStamp &) const = default;
};
