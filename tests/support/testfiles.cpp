#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList othersIn(const QString &folder, const QStringList &names)
{
    QStringList others = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        others.removeAll(name);
    return others;
}

QString unreadableForRoot()
{
    for (const char *path : {"/sys/bus/cpu/uevent", "/sys/bus/cpu/drivers_probe", "/sys/bus/pci/rescan"}) {
        struct stat st;
        if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return QString::fromLatin1(path);
        ::close(fd);
    }
    return {};
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size())
        return true;
    QTest::qFail(qPrintable(QStringLiteral("cannot write %1").arg(path)), __FILE__, __LINE__);
    return false;
}

ExactFile::ExactFile(QByteArray path, const QByteArray &bytes) : path(std::move(path))
{
    const int fd = ::open(this->path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    written = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    if (fd >= 0)
        ::close(fd);
    if (!written)
        QTest::qFail(qPrintable(QStringLiteral("cannot write %1").arg(QString::fromLatin1(this->path))), __FILE__,
                     __LINE__);
}

ExactFile::~ExactFile()
{
    ::unlink(path.constData());
}

namespace {
bool failed(const char *what, const QString &path)
{
    const QString message = QStringLiteral("%1 %2: %3").arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
    QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    return false;
}
} // namespace

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0 || failed("mkfifo", path);
}

bool makeSymlink(const QString &target, const QString &link)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0
        || failed("symlink", link);
}

bool makeSparseFile(const QString &path, qint64 size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return failed("open", path);
    const bool ok = ::ftruncate(fd, off_t(size)) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok || failed("ftruncate", path);
}
