#pragma once

#include "store/filestamp.h"

#include <QByteArray>
#include <QByteArrayView>
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
// Larger blocks read no faster here, and every byte of them is memory.
constexpr qint64 DefaultBlockBytes = qint64(128) << 10;

struct Options
{
    qint64 maxBytes = DefaultMaxBytes;     // a larger file is refused unread
    ReadFunction read;                     // empty: the system's read
    qint64 blockBytes = DefaultBlockBytes; // readBlocks: bytes asked for per read
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

// Takes a file block by block, for readers that need not hold it whole.
class BlockSink
{
public:
    virtual ~BlockSink() = default;
    // The file that was opened, before its first byte is read.
    virtual void opened(const FileStamp &) {}
    // bytes are the file's bytes not yet taken, in order; atEnd says that
    // no more follow. Returns how many of them, from the front, it has
    // taken; the rest come again, with more after them, at the next call.
    virtual qsizetype consume(QByteArrayView bytes, bool atEnd) = 0;
};

// Reads the file at path into sink, with the same checks and outcomes as
// readAll (bytes stay empty). Memory held is a block, or the largest
// untaken run of bytes when that is longer. A sink that has taken bytes
// before a failure is told nothing more: the caller drops what it built.
Result readBlocks(const QString &path, BlockSink &sink, const Options &options = {});

// The system's text for an error number ("Permission denied").
QString systemReason(int error);

// What a file of the given mode is when it is not a plain file ("a
// folder", "a named pipe", "a device", "a socket"); empty for a plain
// file and for kinds without a name here.
QString kindName(unsigned mode);

// Opens the plain file at path for reading into file (which then owns the
// descriptor), for callers that seek and read parts of a file. bytes stay
// empty; stamp.size is the file's size.
Result openPlainFile(const QString &path, QFile &file);

} // namespace SafeFileRead
