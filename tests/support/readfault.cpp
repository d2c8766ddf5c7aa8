// A library preloaded (LD_PRELOAD) into a program under test that makes
// the reads of one file fail with EIO where they reach a byte, as a
// scratched disc's do: ONDRO_READ_FAULT="OFFSET:PATH". The file is the one
// at PATH when the program starts (its device and inode), so a file put
// back under the name later reads whole. Root is stopped by it as anyone
// is, which no permission can do. Only positioned reads (pread) fail: they
// are how a medium's files are read whole.

#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

dev_t faultDevice = 0;
ino_t faultInode = 0;
off_t faultOffset = -1;

__attribute__((constructor)) void readFaultSetUp()
{
    const char *spec = std::getenv("ONDRO_READ_FAULT");
    if (spec == nullptr)
        return;
    char *end = nullptr;
    const long long offset = std::strtoll(spec, &end, 10);
    struct stat st{};
    if (end == spec || *end != ':' || offset < 0 || ::stat(end + 1, &st) != 0)
        return;
    faultDevice = st.st_dev;
    faultInode = st.st_ino;
    faultOffset = off_t(offset);
}

bool failsAt(int fd, off_t from, size_t size)
{
    if (faultOffset < from || faultOffset - from >= off_t(size))
        return false;
    struct stat st{};
    return ::fstat(fd, &st) == 0 && st.st_dev == faultDevice && st.st_ino == faultInode;
}

using PositionedRead = ssize_t (*)(int, void *, size_t, off_t);

ssize_t readOrFail(const char *name, int fd, void *buffer, size_t size, off_t offset)
{
    if (faultOffset >= 0 && failsAt(fd, offset, size)) {
        errno = EIO;
        return -1;
    }
    const auto next = reinterpret_cast<PositionedRead>(::dlsym(RTLD_NEXT, name));
    return next(fd, buffer, size, offset);
}

} // namespace

extern "C" ssize_t pread(int fd, void *buffer, size_t size, off_t offset)
{
    return readOrFail("pread", fd, buffer, size, offset);
}

extern "C" ssize_t pread64(int fd, void *buffer, size_t size, off_t offset)
{
    return readOrFail("pread64", fd, buffer, size, offset);
}
