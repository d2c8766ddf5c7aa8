#include "catalogue/entrypath.h"

#include "catalogue/extensionline.h"

#include <QFile>

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

} // namespace EntryPath
