#include "base/platform/singleinstance.h"

#include "base/platform/systempaths.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// QLockFile makes its file, flock()s it at once and then writes the owner
// into it. An empty lock file younger than this may be one being made; an
// older one was left by a crash.
constexpr qint64 NewLockMs = 1000;

// Removes the lock file at path unless an owner holds it: a live owner
// keeps its file flock()ed for as long as it holds the lock. 0, or errno.
int removeUnheld(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::unlink(path.constData()) != 0)
        error = errno;
    ::close(fd);
    return error;
}

// Why what stands at path, not a plain file, cannot be the lock file: what
// the system says when it is opened as one.
QString notALockFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return qt_error_string(errno);
    ::close(fd);
    return QStringLiteral("it is not a plain file");
}

bool processEnded(qint64 pid)
{
    return pid > std::numeric_limits<pid_t>::max() || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH);
}

qint64 ageMs(const struct stat &info)
{
    const qint64 modified = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return std::abs(QDateTime::currentMSecsSinceEpoch() - modified);
}

} // namespace

SingleInstance::SingleInstance(const QString &lockPath)
{
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    m_lock = std::make_unique<QLockFile>(lockPath);
    // A holder may keep the lock for hours (a long scan, a day's session):
    // only a lock file that names no live owner is stale.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::acquire(int waitMs)
{
    if (m_lock->isLocked())
        return true;
    m_reason.clear();
    m_takenOver.clear();
    const QDeadlineTimer held(waitMs);
    const QDeadlineTimer pending(qint64(waitMs) + 2 * NewLockMs);
    for (;;) {
        const Attempt result = attempt();
        if (result == Attempt::Locked)
            return true;
        if (result == Attempt::Blocked)
            return false;
        const QDeadlineTimer &deadline = result == Attempt::Held ? held : pending;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(unsigned(std::clamp<qint64>(deadline.remainingTime(), 1, 50)));
    }
}

SingleInstance::Attempt SingleInstance::attempt()
{
    const QByteArray path = QFile::encodeName(lockPath());
    struct stat found;
    if (::lstat(path.constData(), &found) == 0)
        return takeOverStale();
    if (errno != ENOENT)
        return blocked(errno);
    return lockNow();
}

// The lock file in place is judged and replaced under the guard QLockFile
// itself takes while it removes a stale lock, so no two processes replace
// it at once. A live owner keeps its file flock()ed, so it is never removed
// under it; the only gap is between an owner's creation of the file and
// its flock(), which is why a new empty file is given time.
SingleInstance::Attempt SingleInstance::takeOverStale()
{
    QLockFile guard(lockPath() + QStringLiteral(".rmlock"));
    if (!guard.tryLock(0)) {
        const int error = errno;
        return guard.error() == QLockFile::LockFailedError ? Attempt::Held : blocked(error);
    }
    const QByteArray path = QFile::encodeName(lockPath());
    struct stat found;
    if (::lstat(path.constData(), &found) != 0)
        return errno == ENOENT ? lockNow() : blocked(errno);
    if (!S_ISREG(found.st_mode)) {
        m_reason = notALockFile(path);
        return Attempt::Blocked;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    QString stale;
    if (!m_lock->getLockInfo(&pid, &host, &application) || pid <= 0) {
        if (found.st_size == 0 && ageMs(found) < NewLockMs)
            return Attempt::Pending;
        stale = found.st_size == 0 ? QStringLiteral("it was empty") : QStringLiteral("its owner could not be read");
    } else if ((host.isEmpty() || host == QSysInfo::machineHostName()) && processEnded(pid)) {
        stale = QStringLiteral("its process %1 had ended").arg(pid);
    } else {
        // An owner that may be alive. QLockFile itself still takes over a
        // lock from before a restart, or whose process number now belongs
        // to another program.
        guard.unlock();
        return lockNow();
    }
    if (const int error = removeUnheld(path))
        return error == EWOULDBLOCK ? Attempt::Held : blocked(error);
    const Attempt result = lockNow();
    if (result == Attempt::Locked)
        m_takenOver = stale;
    return result;
}

SingleInstance::Attempt SingleInstance::lockNow()
{
    if (m_lock->tryLock(0))
        return Attempt::Locked;
    // QLockFile returns as soon as making its file failed, with errno as
    // that left it.
    const int error = errno;
    return m_lock->error() == QLockFile::LockFailedError ? Attempt::Held : blocked(error);
}

SingleInstance::Attempt SingleInstance::blocked(int error)
{
    m_reason = error != 0 ? qt_error_string(error) : QStringLiteral("unknown error");
    return Attempt::Blocked;
}

bool SingleInstance::failed() const
{
    return !m_lock->isLocked() && !m_reason.isEmpty();
}

QString SingleInstance::reason() const
{
    return m_reason;
}

QString SingleInstance::takenOver() const
{
    return m_takenOver;
}

bool SingleInstance::holder(QString *application, qint64 *pid) const
{
    QString host;
    return m_lock->getLockInfo(pid, &host, application);
}

QString SingleInstance::lockPath() const
{
    return m_lock->fileName();
}

QString SingleInstance::lockPathFor(const QString &dataDir)
{
    return dataDir + QStringLiteral("/ondro.lock");
}

QString SingleInstance::defaultLockPath()
{
    return lockPathFor(SystemPaths::windowsDirectory());
}
