#pragma once

#include "store/filestamp.h"

#include <QByteArray>
#include <QString>
#include <functional>

class QFile;

// Opening and reading files that may be anything: a named pipe, a device,
// a folder, a link to /dev/zero, a file far too large. Files are opened
// without blocking, and only a plain file is accepted; everything else is
// refused with a reason that can be shown to the user. Reasons from the
// system are its own texts ("Permission denied", "Input/output error").
namespace SafeFileRead {

enum class Status {
    Read,    // the whole file was read (or opened)
    Missing, // no such file
    Refused, // not a plain file, or larger than allowed
    Failed,  // the system could not open or read it
};

// Reads up to size bytes from the descriptor like ::read (-1 and errno
// on failure). Tests replace it to make a read fail half-way.
using ReadFunction = std::function<qint64(int fd, char *buffer, qint64 size)>;

constexpr qint64 DefaultMaxBytes = qint64(2) << 30; // 2 GiB

struct Options
{
    qint64 maxBytes = DefaultMaxBytes; // a larger file is refused unread
    ReadFunction read;                 // empty: the system's read
};

struct Result
{
    Status status = Status::Missing;
    QByteArray bytes;
    QString reason;  // why it is not Read, as a clause ("it is a named pipe")
    FileStamp stamp; // the file that was opened (or found), when it exists

    bool ok() const { return status == Status::Read; }
};

// Reads the whole file at path.
Result readAll(const QString &path, const Options &options = {});

// Opens the plain file at path for reading into file (which then owns the
// descriptor), for callers that seek and read parts of a file. bytes stay
// empty; stamp.size is the file's size.
Result openPlainFile(const QString &path, QFile &file);

} // namespace SafeFileRead
