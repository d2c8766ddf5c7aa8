#include "base/exactpath.h"

#include <QFile>

#include <filesystem>

namespace {

constexpr QLatin1StringView FileScheme("file://");

} // namespace

namespace EntryPath {

QString openable(const QByteArray &exactPath)
{
    if (exactPath.isValidUtf8())
        return QString::fromUtf8(exactPath);
    return FileScheme + QString::fromLatin1(exactPath.toPercentEncoding("/"));
}

QByteArray fromOpenable(const QString &pathOrAddress)
{
    if (!pathOrAddress.startsWith(FileScheme))
        return QFile::encodeName(pathOrAddress);
    return QByteArray::fromPercentEncoding(pathOrAddress.sliced(FileScheme.size()).toLatin1());
}

std::optional<qint64> fileSize(const QByteArray &exactPath)
{
    // std::filesystem takes the bytes as they are; QFileInfo would decode them.
    const std::filesystem::path path(exactPath.toStdString());
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? std::nullopt : std::optional<qint64>(qint64(size));
}

} // namespace EntryPath
