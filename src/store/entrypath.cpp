#include "store/entrypath.h"

#include "store/extensionline.h"

#include <QFile>

namespace {

constexpr QLatin1StringView FileScheme("file://");

} // namespace

namespace EntryPath {

QByteArray rawName(QByteArrayView extensionLine)
{
    return ExtensionLine::textValue(extensionLine, RawNameKey);
}

QByteArray exactPath(QByteArrayView pathUtf8, QByteArrayView extensionLine)
{
    const QByteArray raw = rawName(extensionLine);
    if (raw.isEmpty())
        return pathUtf8.toByteArray();
    const qsizetype slash = pathUtf8.lastIndexOf('/');
    return pathUtf8.first(slash + 1).toByteArray() + raw;
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

} // namespace EntryPath
