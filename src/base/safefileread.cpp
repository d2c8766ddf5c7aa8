#include "base/safefileread.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace SafeFileRead {

namespace {

QString sizeRefusal(qint64 maxBytes)
{
    return QStringLiteral("it is larger than %1").arg(QLocale::c().formattedDataSize(maxBytes, 0));
}

// The outcome of the open, without the descriptor.
Result outcome(const OpenedFile &file)
{
    Result result;
    result.status = file.status;
    result.reason = file.reason;
    result.stamp = file.stamp;
    return result;
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
    OpenedFile file = openFile(path);
    Result result = outcome(file);
    if (!file.ok())
        return result;
    const auto refuse = [&](Status status, const QString &reason) {
        result.status = status;
        result.reason = reason;
        return result;
    };
    if (file.stamp.size > options.maxBytes)
        return refuse(Status::Refused, sizeRefusal(options.maxBytes));
    sink.opened(result.stamp);

    const ReadFunction &read = options.read ? options.read : ReadFunction(systemRead);
    QByteArray buffer(qsizetype(std::clamp<qint64>(options.blockBytes, 1, options.maxBytes + 1)), Qt::Uninitialized);
    qsizetype have = 0; // bytes in buffer not yet taken
    qint64 total = 0;
    for (;;) {
        if (have == buffer.size()) // the sink needs more than a block at once
            buffer.resize(qsizetype(std::min(options.maxBytes + 1, qint64(buffer.size()) * 2)));
        const qint64 got = read(file.fd(), buffer.data() + have, buffer.size() - have);
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
        if (options.progress)
            options.progress->done.fetch_add(got, std::memory_order_relaxed);
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
    return result;
}

Result openPlainFile(const QString &path, QFile &file)
{
    return openPlainFile(QFile::encodeName(path), file);
}

Result openPlainFile(const QByteArray &path, QFile &file)
{
    OpenedFile opened = openFile(AT_FDCWD, path.constData());
    Result result = outcome(opened);
    if (!opened.ok())
        return result;
    if (!file.open(opened.fd(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        result.status = Status::Failed;
        result.reason = file.errorString();
        return result;
    }
    opened.release();
    return result;
}

} // namespace SafeFileRead
