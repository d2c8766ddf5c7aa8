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
    // Whether writing over path could lose what another program put there
    // since `known` was taken; a file that is gone holds nothing to lose.
    static bool replacingLosesChanges(const QString &path, const FileStamp &known);
    bool operator==(const FileStamp &) const = default;
};
