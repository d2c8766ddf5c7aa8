#pragma once

#include "base/filestamp.h"

#include <QByteArray>
#include <QString>

#include <functional>

// openat() for a path of any length: a path the system refuses as too long
// (PATH_MAX, 4,096 bytes here) is opened in steps, each relative to the
// folder the step before opened. A descriptor, or -1 with errno set.
int openAtAnyLength(int dirFd, const char *path, int flags);

// Opening files that may be anything: a named pipe, a device, a folder, a
// link to /dev/zero. A file is opened without blocking and only a plain
// file is accepted; everything else is refused with a reason that can be
// shown to the user. Reasons from the system are its own texts
// ("Permission denied", "Input/output error").
namespace SafeFileRead {

enum class Status {
    Read,    // the whole file was read (by openFile: opened)
    Missing, // no such file
    Refused, // not a plain file, or (for the readers) larger than allowed
    Failed,  // the system could not open or read it
};

// The system's text for an error number ("Permission denied").
QString systemReason(int error);

// What a file of the given mode is when it is not a plain file ("a
// folder", "a named pipe", "a device", "a socket"); empty for a plain
// file and for kinds without a name here.
QString kindName(unsigned mode);

// The two ways the program words why a file that is not a plain file is
// not read, each where the user has always seen it.
enum class ReasonForm {
    Clause,  // after "could not be read:": "it is a named pipe, not a plain file"
    Listing, // beside a file a scan left out: "not a plain file (a named pipe)"
};

// Why a file of the given mode is not read; empty for a plain file.
QString notPlainFileReason(unsigned mode, ReasonForm form = ReasonForm::Clause);

// How much openFile looks at a name before it opens it.
enum class Lookup {
    // What stands at the name is looked at first, so that a pipe or a
    // device is refused without being opened at all, and the descriptor
    // of a plain file is made an ordinary blocking one.
    First,
    // For the many names of a listing that has just shown them to be plain
    // files (a scan's walk): opened at once, as looking first and making
    // the descriptor blocking cost more than the open; reads of a plain
    // file take no notice of the non-blocking flag.
    Listed,
};

// The system calls by which files are opened and read at an offset, each
// like its POSIX namesake (openat, pread: -1 and errno on failure). Empty
// means the system's own. Tests set one to make a file fail to open or to
// read as a scratched disc or a flaky share does, which root does not get
// past either. Passed once per scan, and called only when set: the reads
// of a scan pay a null test, not a call through std::function.
struct ReadSystemCalls
{
    std::function<int(int dirFd, const char *name, int flags)> open;
    std::function<qint64(int fd, char *buffer, qint64 size, qint64 offset)> readAt;
};

// A file opened by openFile. Owns the descriptor until release().
class OpenedFile
{
public:
    OpenedFile() = default;
    OpenedFile(OpenedFile &&other) noexcept;
    OpenedFile &operator=(OpenedFile &&other) noexcept;
    ~OpenedFile();

    Status status = Status::Missing; // Read when the file is open
    QString reason;                  // why not, as a clause (ReasonForm::Clause)
    int error = 0;                   // the system's error number, when it gave the reason
    unsigned mode = 0;               // the kind of what was found (st_mode), when anything was
    FileStamp stamp;                 // the file opened (or found); stamp.size is its size

    bool ok() const { return status == Status::Read; }
    int fd() const { return m_fd; }
    // Hands the descriptor to the caller, who closes it.
    int release();
    void close();

private:
    friend OpenedFile openFile(int dirFd, const char *name, Lookup lookup, const ReadSystemCalls *calls);
    int m_fd = -1;
};

// Opens name, relative to the folder open as dirFd (AT_FDCWD for the
// current folder or a full path), at any path length, for reading. The
// open never blocks, and what was opened is checked to be a plain file
// (the path may have changed since it was looked at). A path too long to
// look at first is looked at once it is open. A missing file is ENOENT
// only: a path through a file (ENOTDIR), a loop of links (ELOOP) and a
// link to a name that does not exist (error ENOENT) have failed, the
// last two with their own reasons. calls, when given, stand for the
// system's open.
OpenedFile openFile(int dirFd, const char *name, Lookup lookup = Lookup::First,
                    const ReadSystemCalls *calls = nullptr);
OpenedFile openFile(const QString &path);

// Where a chain of links ends, followed one link at a time as the system
// would, so that a save replaces the file at its end and a dangling link
// can be named as one.
struct LinkEnd
{
    // The first name of the chain that is no link (the name itself when
    // it is none); relative to the folder of dirFd when name is.
    QByteArray path;
    int error = 0;       // why that name could not be looked at (ENOENT: it does not exist; ELOOP: a loop)
    bool linked = false; // whether name is a link

    bool dangling() const { return linked && error == ENOENT; }
};
LinkEnd followLinks(int dirFd, const char *name);
LinkEnd followLinks(const QString &path);

// Why a file is not read or saved when its name is a link that leads
// nowhere: "it is a link to /x/zembra.lst, which does not exist", and
// when its links go round in a loop.
QString danglingLinkReason(const LinkEnd &end);
QString linkLoopReason();

} // namespace SafeFileRead
