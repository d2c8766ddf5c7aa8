#include "base/platform/systempaths.h"

#include "base/safefileread.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace SystemPaths {

namespace {
QString ensureFolder(const QString &folder)
{
    QDir().mkpath(folder);
    return folder;
}
} // namespace

QString windowsDirectory()
{
    // Independent of the application name the running binary happens to set.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ondro");
}

QString exportsFolder()
{
    return ensureFolder(exportsFolderPath());
}

QString exportsFolderPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Ondro");
}

QString desktopFolder()
{
    return ensureFolder(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

bool fileExists(const QString &path)
{
    // Opened without blocking, so a named pipe of that name cannot hang
    // the caller; only a plain file that opens counts.
    if (path.isEmpty())
        return false;
    QFile file;
    return SafeFileRead::openPlainFile(path, file).ok();
}

QString fileNameOf(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
    return cut < 0 ? path : path.mid(cut + 1);
}

QString searchText(const QString &text)
{
    QString result = text.toUpper();
    result.replace(QLatin1Char('_'), QLatin1Char(' '));
    return result;
}

} // namespace SystemPaths
