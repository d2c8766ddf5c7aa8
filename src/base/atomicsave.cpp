#include "base/atomicsave.h"

#include "base/plainfileopen.h"
#include "base/platform/systempaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 BufferSize = qint64(1) << 16;
// Written data is handed to the disk every so often while writing goes
// on, so that the final sync waits for the last part only.
constexpr qint64 WritebackEvery = qint64(8) << 20;

// A write-only device over a descriptor that keeps the system's reason
// for the first failure. Writes are gathered into a buffer; a failure
// shows at the write that sends the buffer, or at flush().
class DescriptorWriter : public QIODevice
{
public:
    DescriptorWriter(int fd, const SaveSystemCalls &calls) : m_fd(fd), m_calls(calls)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    bool failed() const { return m_failed; }

    bool flush()
    {
        if (m_failed)
            return false;
        const bool ok = send(m_buffer.constData(), m_buffer.size());
        m_buffer.clear();
        return ok;
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }

    qint64 writeData(const char *data, qint64 size) override
    {
        if (m_failed)
            return -1;
        if (m_buffer.size() + size > BufferSize && !flush())
            return -1;
        if (size >= BufferSize)
            return send(data, size) ? size : -1;
        m_buffer.append(data, qsizetype(size));
        return size;
    }

private:
    bool send(const char *data, qint64 size)
    {
        while (size > 0) {
            const qint64 done = m_calls.write ? m_calls.write(m_fd, data, size) : ::write(m_fd, data, size_t(size));
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0) {
                m_failed = true;
                setErrorString(SafeFileRead::systemReason(done < 0 ? errno : ENOSPC));
                return false;
            }
            data += done;
            size -= done;
            m_written += done;
        }
        if (m_written - m_handedOver >= WritebackEvery) {
            // Starts the write-back without waiting; a failure shows at fsync.
            ::sync_file_range(m_fd, m_handedOver, m_written - m_handedOver, SYNC_FILE_RANGE_WRITE);
            m_handedOver = m_written;
        }
        return true;
    }

    int m_fd;
    const SaveSystemCalls &m_calls;
    QByteArray m_buffer;
    bool m_failed = false;
    qint64 m_written = 0;
    qint64 m_handedOver = 0;
};

// The system's text for the last error.
QString systemReason()
{
    return SafeFileRead::systemReason(errno);
}

// A file's folder and name, split where the system splits them: a ".."
// after a link to a folder is the parent of where the link leads, so the
// path is never tidied the way QFileInfo does.
struct Target
{
    QByteArray path; // absolute
    QByteArray folder;
    QByteArray name;

    explicit Target(QByteArray absolute) : path(std::move(absolute))
    {
        const qsizetype slash = path.lastIndexOf('/');
        folder = slash == 0 ? QByteArray("/") : path.left(slash);
        name = path.mid(slash + 1);
    }
};

// Opens a new temporary file next to target, with the target's
// permissions when it exists (the umask's otherwise).
int openTemporary(const Target &target, QByteArray &name, const SaveSystemCalls &calls)
{
    const QByteArray stem = target.folder + "/." + target.name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
        const int fd = calls.open ? calls.open(name.constData(), flags, 0666) : ::open(name.constData(), flags, 0666);
        if (fd >= 0) {
            // Held until the file is renamed into place: a later save or
            // start-up tells a living writer's file from one a killed save
            // left behind.
            ::flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// The temporary files saves make: "." and the target's name, a random
// number in base 36 and ".tmp".
const QRegularExpression &temporaryName()
{
    static const QRegularExpression name(QStringLiteral("^\\..+\\.[0-9a-z]{1,7}\\.tmp$"));
    return name;
}

// Removes the temporary files of the folder that no writer holds any more
// and that match; see removeAbandonedTemporaries.
void removeAbandoned(const QString &folder, const QString &pattern)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const QString &name : names) {
        if (!temporaryName().match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - qint64(st.st_mtime) > 60
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

} // namespace

void removeAbandonedTemporaries(const QString &folder)
{
    removeAbandoned(folder, QStringLiteral(".*.tmp"));
}

void removeAbandonedSaves(const QString &dataFolder)
{
    removeAbandonedTemporaries(dataFolder);
    removeAbandonedTemporaries(SystemPaths::exportsFolderPath());
}

SaveResult saveAtomically(const QString &path, const std::function<bool(QIODevice &)> &write,
                          const SaveSystemCalls &calls)
{
    // Links are kept, a chain of them too: the file at its end is replaced.
    // A link to nothing gets no file and no folder, as what it names may
    // be on a disk that is not there now.
    const SafeFileRead::LinkEnd end = SafeFileRead::followLinks(path);
    if (end.error == ELOOP)
        return {false, SafeFileRead::linkLoopReason(), false};
    if (end.dangling())
        return {false, SafeFileRead::danglingLinkReason(end), false};
    const Target target(end.path);
    if (const QString folder = QFile::decodeName(target.folder); !QDir().mkpath(folder))
        return {false, QStringLiteral("the folder %1 cannot be created").arg(folder), false};

    struct stat old;
    const bool existed = ::stat(target.path.constData(), &old) == 0;
    const auto failure = [&](const QString &reason) { return SaveResult{false, reason, existed}; };

    QByteArray tempName;
    const int fd = openTemporary(target, tempName, calls);
    if (fd < 0)
        return failure(systemReason());
    if (existed && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);
    const auto discard = [&](const QString &reason) {
        ::close(fd);
        ::unlink(tempName.constData());
        return failure(reason);
    };

    {
        DescriptorWriter device(fd, calls);
        const bool complete = write(device);
        if (device.failed() || (complete && !device.flush()))
            return discard(device.errorString());
        if (!complete)
            return discard(QStringLiteral("writing was stopped"));
    }
    if ((calls.sync ? calls.sync(fd) : ::fsync(fd)) != 0)
        return discard(systemReason());
    // Renamed while still open and locked, so that no tidying of abandoned
    // files takes it for one between the close and the rename (a long
    // sync can leave it untouched for over a minute). After fsync, close
    // has nothing left to report.
    if ((calls.rename ? calls.rename(tempName.constData(), target.path.constData())
                      : ::rename(tempName.constData(), target.path.constData())) != 0)
        return discard(systemReason());
    ::close(fd);
    removeAbandoned(QFile::decodeName(target.folder),
                    QStringLiteral(".") + QFile::decodeName(target.name) + QStringLiteral(".*.tmp"));
    // Make the rename itself durable; the new file is in place either way.
    if (const int dir = ::open(target.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

QString saveFailureMessage(const QString &path, const SaveResult &result)
{
    const QString failed = QStringLiteral("Could not save %1: %2.").arg(QDir::toNativeSeparators(path), result.error);
    return result.previousKept ? failed + QStringLiteral(" The previous file was kept.") : failed;
}
