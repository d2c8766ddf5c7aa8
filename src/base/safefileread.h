#pragma once

#include "base/filestamp.h"
#include "base/plainfileopen.h"
#include "base/workprogress.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

class QFile;

// Reading files that may be anything (a named pipe, a device, a folder, a
// link to /dev/zero, a file far too large) through openFile: only a plain
// file is read, and a file over the size limit is refused unread.
namespace SafeFileRead {

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
    // When set, the bytes of each read are added to its done as the read
    // returns, for a window on another thread.
    WorkProgress *progress = nullptr;
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

// Opens the plain file at path for reading into file (which then owns the
// descriptor), for callers that seek and read parts of a file. bytes stay
// empty; stamp.size is the file's size.
Result openPlainFile(const QString &path, QFile &file);
// The same for a path given as its exact bytes (a name that is not UTF-8).
Result openPlainFile(const QByteArray &path, QFile &file);

} // namespace SafeFileRead
