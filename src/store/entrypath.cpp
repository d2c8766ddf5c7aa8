#include "store/entrypath.h"

#include "store/extensionline.h"

#include <QFile>

#include <filesystem>

namespace {

constexpr QLatin1StringView FileScheme("file://");

} // namespace

namespace EntryPath {

QByteArray rawName(QByteArrayView extensionLine)
{
    return ExtensionLine::textValue(extensionLine, RawNameKey);
}

QByteArray withRawName(QByteArrayView pathUtf8, QByteArrayView rawName)
{
    if (rawName.isEmpty())
        return pathUtf8.toByteArray();
    const qsizetype slash = pathUtf8.lastIndexOf('/');
    return pathUtf8.first(slash + 1).toByteArray().append(rawName);
}

QByteArray exactPath(QByteArrayView pathUtf8, QByteArrayView extensionLine)
{
    return withRawName(pathUtf8, rawName(extensionLine));
}

QByteArray openPath(const QString &path, QByteArrayView extensionLine)
{
    return exactPath(QByteArrayView(QFile::encodeName(path)), extensionLine);
}

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
