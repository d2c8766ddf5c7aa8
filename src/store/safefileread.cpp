#include "store/safefileread.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// Why a file of this kind is not read, or empty for a plain file.
QString kindRefusal(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a file");
    const QString kind = kindName(mode);
    return kind.isEmpty() ? QStringLiteral("it is not a plain file")
                          : QStringLiteral("it is %1, not a plain file").arg(kind);
}

QString sizeRefusal(qint64 maxBytes)
{
    return QStringLiteral("it is larger than %1").arg(QLocale::c().formattedDataSize(maxBytes, 0));
}

// Looks at path first, so that a pipe or device is refused without being
// opened at all, then opens it without blocking and checks what was
// opened (the path may have changed in between). Returns the descriptor,
// or -1 with result filled in.
int openChecked(const QString &path, Result &result, struct stat &st)
{
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0) {
        const int error = errno;
        result.status = error == ENOENT ? Status::Missing : Status::Failed;
        result.reason = systemReason(error);
        return -1;
    }
    result.stamp = FileStamp::fromStat(st);
    if (QString refusal = kindRefusal(st.st_mode); !refusal.isEmpty()) {
        result.status = Status::Refused;
        result.reason = refusal;
        return -1;
    }
    int fd;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        result.status = error == ENOENT ? Status::Missing : Status::Failed;
        result.reason = systemReason(error);
        return -1;
    }
    if (::fstat(fd, &st) != 0) {
        result.status = Status::Failed;
        result.reason = systemReason(errno);
        ::close(fd);
        return -1;
    }
    if (QString refusal = kindRefusal(st.st_mode); !refusal.isEmpty()) {
        result.status = Status::Refused;
        result.reason = refusal;
        ::close(fd);
        return -1;
    }
    result.stamp = FileStamp::fromStat(st);
    // A plain file never blocks; clear the flag so later reads are ordinary.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

qint64 systemRead(int fd, char *buffer, qint64 size)
{
    return ::read(fd, buffer, size_t(size));
}

} // namespace

Result readAll(const QString &path, const Options &options)
{
    // Every block is taken as it comes; the file's size is only a hint for
    // the room to make, as it may grow or shrink while it is read.
    class Collect : public BlockSink
    {
    public:
        QByteArray bytes;
        void opened(const FileStamp &stamp) override { bytes.reserve(qsizetype(stamp.size)); }
        qsizetype consume(QByteArrayView block, bool) override
        {
            bytes.append(block);
            return block.size();
        }
    } collect;
    Result result = readBlocks(path, collect, options);
    if (result.ok())
        result.bytes = std::move(collect.bytes);
    return result;
}

Result readBlocks(const QString &path, BlockSink &sink, const Options &options)
{
    Result result;
    struct stat st;
    const int fd = openChecked(path, result, st);
    if (fd < 0)
        return result;
    const auto refuse = [&](Status status, const QString &reason) {
        ::close(fd);
        result.status = status;
        result.reason = reason;
        return result;
    };
    if (st.st_size > options.maxBytes)
        return refuse(Status::Refused, sizeRefusal(options.maxBytes));
    sink.opened(result.stamp);

    const ReadFunction &read = options.read ? options.read : ReadFunction(systemRead);
    QByteArray buffer(qsizetype(std::clamp<qint64>(options.blockBytes, 1, options.maxBytes + 1)), Qt::Uninitialized);
    qsizetype have = 0; // bytes in buffer not yet taken
    qint64 total = 0;
    for (;;) {
        if (have == buffer.size()) // the sink needs more than a block at once
            buffer.resize(qsizetype(std::min(options.maxBytes + 1, qint64(buffer.size()) * 2)));
        const qint64 got = read(fd, buffer.data() + have, buffer.size() - have);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return refuse(Status::Failed, systemReason(errno));
        }
        if (got == 0) {
            sink.consume(QByteArrayView(buffer.constData(), have), true);
            break;
        }
        total += got;
        // The size is a hint only: the file may grow while it is read.
        if (total > options.maxBytes)
            return refuse(Status::Refused, sizeRefusal(options.maxBytes));
        have += qsizetype(got);
        const qsizetype taken = sink.consume(QByteArrayView(buffer.constData(), have), false);
        if (taken > 0) {
            std::memmove(buffer.data(), buffer.constData() + taken, size_t(have - taken));
            have -= taken;
        }
    }
    ::close(fd);
    result.status = Status::Read;
    return result;
}

Result openPlainFile(const QString &path, QFile &file)
{
    Result result;
    struct stat st;
    const int fd = openChecked(path, result, st);
    if (fd < 0)
        return result;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        result.status = Status::Failed;
        result.reason = file.errorString();
        return result;
    }
    result.status = Status::Read;
    return result;
}

} // namespace SafeFileRead
