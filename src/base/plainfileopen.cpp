#include "base/plainfileopen.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

int openRetrying(int dirFd, const char *path, int flags)
{
    int fd;
    do
        fd = ::openat(dirFd, path, flags);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

int openAtAnyLength(int dirFd, const char *path, int flags)
{
    int fd = openRetrying(dirFd, path, flags);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;
    // Steps of whole folder names, each shorter than PATH_MAX. No name is
    // longer than NAME_MAX, so every step takes at least one name.
    QByteArrayView rest(path);
    int base = dirFd;
    int error = ENAMETOOLONG;
    fd = -1;
    while (!rest.isEmpty()) {
        QByteArrayView step = rest;
        qsizetype next = rest.size();
        if (rest.size() >= PATH_MAX) {
            const qsizetype cut = rest.first(PATH_MAX - 1).lastIndexOf('/');
            if (cut < 0)
                break; // a name longer than any file system allows
            step = rest.first(cut == 0 ? 1 : cut); // a leading "/" is a step of its own
            next = cut + 1;
        }
        const QByteArray stepPath = step.toByteArray();
        const bool last = next >= rest.size();
        const int opened = openRetrying(base, stepPath.constData(), last ? flags : O_PATH | O_DIRECTORY | O_CLOEXEC);
        error = errno;
        if (base != dirFd)
            ::close(base);
        if (opened < 0) {
            base = dirFd;
            break;
        }
        base = opened;
        rest = rest.sliced(std::min(next, rest.size()));
        if (last) {
            fd = opened;
            break;
        }
    }
    if (fd < 0) {
        if (base != dirFd)
            ::close(base);
        errno = error;
    }
    return fd;
}

namespace SafeFileRead {

QString systemReason(int error)
{
    return qt_error_string(error);
}

QString kindName(unsigned mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return {};
}

QString notPlainFileReason(unsigned mode, ReasonForm form)
{
    if (S_ISREG(mode))
        return {};
    const QString kind = kindName(mode);
    if (form == ReasonForm::Listing)
        return QStringLiteral("not a plain file (%1)").arg(kind.isEmpty() ? QStringLiteral("a special file") : kind);
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a file");
    return kind.isEmpty() ? QStringLiteral("it is not a plain file")
                          : QStringLiteral("it is %1, not a plain file").arg(kind);
}

OpenedFile::OpenedFile(OpenedFile &&other) noexcept
    : status(other.status), reason(std::move(other.reason)), error(other.error), mode(other.mode),
      stamp(other.stamp), m_fd(std::exchange(other.m_fd, -1))
{
}

OpenedFile &OpenedFile::operator=(OpenedFile &&other) noexcept
{
    if (this != &other) {
        close();
        status = other.status;
        reason = std::move(other.reason);
        error = other.error;
        mode = other.mode;
        stamp = other.stamp;
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

OpenedFile::~OpenedFile()
{
    close();
}

int OpenedFile::release()
{
    return std::exchange(m_fd, -1);
}

void OpenedFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

namespace {

// Fills in why the file at name is not open; the descriptor, if any, is
// closed. A link to nothing is no missing file: a caller that takes a
// missing file for an empty one must not write a new file in its place.
OpenedFile &failed(OpenedFile &file, int error, int dirFd, const char *name)
{
    file.close();
    file.status = error == ENOENT ? Status::Missing : Status::Failed;
    file.error = error;
    file.reason = systemReason(error);
    if (error == ELOOP) {
        file.reason = linkLoopReason();
    } else if (error == ENOENT) {
        if (const LinkEnd end = followLinks(dirFd, name); end.dangling()) {
            file.status = Status::Failed;
            file.reason = danglingLinkReason(end);
        }
    }
    return file;
}

// Fills in the refusal when st is not a plain file; true when it is one.
bool acceptKind(OpenedFile &file, const struct stat &st)
{
    file.mode = st.st_mode;
    if (S_ISREG(st.st_mode))
        return true;
    file.close();
    file.status = Status::Refused;
    file.reason = notPlainFileReason(st.st_mode);
    return false;
}

} // namespace

OpenedFile openFile(int dirFd, const char *name, Lookup lookup, const ReadSystemCalls *calls)
{
    OpenedFile file;
    struct stat st;
    if (lookup == Lookup::First) {
        if (::fstatat(dirFd, name, &st, 0) == 0) {
            file.stamp = FileStamp::fromStat(st);
            if (!acceptKind(file, st))
                return file;
        } else if (errno != ENAMETOOLONG) {
            return std::move(failed(file, errno, dirFd, name));
        }
    }
    constexpr int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    file.m_fd = calls && calls->open ? calls->open(dirFd, name, flags) : openAtAnyLength(dirFd, name, flags);
    if (file.m_fd < 0)
        return std::move(failed(file, errno, dirFd, name));
    if (::fstat(file.m_fd, &st) != 0)
        return std::move(failed(file, errno, dirFd, name));
    if (!acceptKind(file, st))
        return file;
    file.stamp = FileStamp::fromStat(st);
    if (lookup == Lookup::First) // a plain file never blocks: later reads are ordinary ones
        ::fcntl(file.m_fd, F_SETFL, ::fcntl(file.m_fd, F_GETFL) & ~O_NONBLOCK);
    file.status = Status::Read;
    return file;
}

OpenedFile openFile(const QString &path)
{
    return openFile(AT_FDCWD, QFile::encodeName(path).constData());
}

LinkEnd followLinks(int dirFd, const char *name)
{
    // The system's own limit on links in one lookup (40 on Linux).
    constexpr int MaxLinks = 40;
    LinkEnd end;
    end.path = name;
    for (int links = 0;; ++links) {
        struct stat st;
        if (::fstatat(dirFd, end.path.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            end.error = errno;
            return end;
        }
        if (!S_ISLNK(st.st_mode))
            return end;
        if (links == MaxLinks) {
            end.error = ELOOP;
            return end;
        }
        end.linked = true;
        // The link's size is its target's length, give or take a racing change.
        QByteArray target(qsizetype(std::max<off_t>(st.st_size, 0)) + 1, Qt::Uninitialized);
        const ssize_t length = ::readlinkat(dirFd, end.path.constData(), target.data(), size_t(target.size()));
        if (length < 0 || length == target.size()) { // gone, or changed while read
            end.error = length < 0 ? errno : EAGAIN;
            return end;
        }
        target.truncate(length);
        // A relative target is relative to the link's own folder.
        const qsizetype slash = end.path.lastIndexOf('/');
        end.path = target.startsWith('/') || slash < 0 ? target : end.path.left(slash + 1) + target;
    }
}

LinkEnd followLinks(const QString &path)
{
    return followLinks(AT_FDCWD, QFile::encodeName(QDir::current().absoluteFilePath(path)).constData());
}

QString danglingLinkReason(const LinkEnd &end)
{
    return QStringLiteral("it is a link to %1, which does not exist")
        .arg(QDir::toNativeSeparators(QDir::cleanPath(QFile::decodeName(end.path))));
}

QString linkLoopReason()
{
    return QStringLiteral("its links go round in a loop and lead to no file");
}

} // namespace SafeFileRead
