#include "export/descriptorvfs.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

namespace DescriptorVfs {

namespace {

struct File
{
    sqlite3_file base; // first: SQLite sees a File as its sqlite3_file
    Target *target;
};

Target &targetOf(sqlite3_file *file)
{
    return *reinterpret_cast<File *>(file)->target;
}

// The target the next open on this thread takes: SQLite opens the
// database file within sqlite3_open_v2 and has no other way to hand it on.
thread_local Target *handedOver = nullptr;

int failed(Target &target, int code)
{
    if (target.error == 0)
        target.error = errno;
    return code;
}

// The save closes the descriptor.
int close(sqlite3_file *)
{
    return SQLITE_OK;
}

int read(sqlite3_file *file, void *buffer, int amount, sqlite3_int64 offset)
{
    Target &target = targetOf(file);
    char *to = static_cast<char *>(buffer);
    int done = 0;
    while (done < amount) {
        const ssize_t got = ::pread(target.fd, to + done, size_t(amount - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(target, SQLITE_IOERR_READ);
        if (got == 0)
            break;
        done += int(got);
    }
    if (done == amount)
        return SQLITE_OK;
    std::memset(to + done, 0, size_t(amount - done)); // SQLite expects the rest zeroed
    return SQLITE_IOERR_SHORT_READ;
}

int write(sqlite3_file *file, const void *buffer, int amount, sqlite3_int64 offset)
{
    Target &target = targetOf(file);
    if (::lseek(target.fd, off_t(offset), SEEK_SET) < 0)
        return failed(target, SQLITE_IOERR_SEEK);
    const auto &call = target.calls->write;
    const char *from = static_cast<const char *>(buffer);
    qint64 left = amount;
    while (left > 0) {
        const qint64 done = call ? call(target.fd, from, left) : ::write(target.fd, from, size_t(left));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = ENOSPC; // a write that takes nothing: the medium is full
            return failed(target, SQLITE_IOERR_WRITE);
        }
        from += done;
        left -= done;
    }
    return SQLITE_OK;
}

int truncate(sqlite3_file *file, sqlite3_int64 size)
{
    Target &target = targetOf(file);
    return ::ftruncate(target.fd, off_t(size)) == 0 ? SQLITE_OK : failed(target, SQLITE_IOERR_TRUNCATE);
}

// The save syncs the file once, when the database is complete.
int sync(sqlite3_file *, int)
{
    return SQLITE_OK;
}

int fileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    Target &target = targetOf(file);
    struct stat st;
    if (::fstat(target.fd, &st) != 0)
        return failed(target, SQLITE_IOERR_FSTAT);
    *size = st.st_size;
    return SQLITE_OK;
}

int lock(sqlite3_file *, int)
{
    return SQLITE_OK;
}

int checkReservedLock(sqlite3_file *, int *reserved)
{
    *reserved = 0;
    return SQLITE_OK;
}

int fileControl(sqlite3_file *, int, void *)
{
    return SQLITE_NOTFOUND;
}

int sectorSize(sqlite3_file *)
{
    return 4096;
}

int deviceCharacteristics(sqlite3_file *)
{
    return 0;
}

// Version 1: no shared memory (no write-ahead log) and no mapping.
const sqlite3_io_methods Methods = {
    1, close, read, write, truncate, sync, fileSize, lock, lock, checkReservedLock, fileControl, sectorSize,
    deviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

int openFile(sqlite3_vfs *, sqlite3_filename, sqlite3_file *file, int flags, int *outFlags)
{
    file->pMethods = nullptr;
    if (!(flags & SQLITE_OPEN_MAIN_DB) || !handedOver)
        return SQLITE_CANTOPEN;
    reinterpret_cast<File *>(file)->target = handedOver;
    handedOver = nullptr;
    file->pMethods = &Methods;
    if (outFlags)
        *outFlags = flags;
    return SQLITE_OK;
}

// The system's file system of SQLite for everything but opening files.
const char *registeredName()
{
    static sqlite3_vfs vfs;
    static const bool registered = [] {
        const sqlite3_vfs *system = sqlite3_vfs_find(nullptr);
        if (!system)
            return false;
        vfs = *system;
        vfs.pNext = nullptr;
        vfs.zName = "ondro-descriptor";
        vfs.szOsFile = int(sizeof(File));
        vfs.xOpen = openFile;
        return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    }();
    return registered ? vfs.zName : nullptr;
}

} // namespace

int open(Target &target, sqlite3 **db)
{
    static const SaveSystemCalls systemCalls;
    if (!target.calls)
        target.calls = &systemCalls;
    const char *vfs = registeredName();
    if (!vfs)
        return SQLITE_ERROR;
    handedOver = &target;
    const int opened = sqlite3_open_v2(target.name.constData(), db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, vfs);
    handedOver = nullptr;
    return opened;
}

} // namespace DescriptorVfs
