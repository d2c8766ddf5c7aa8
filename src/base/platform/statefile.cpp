#include "base/platform/statefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace StateFile {

namespace {

const QString LastScanFolderKey = QStringLiteral("scan/lastFolder");
const QString MainWindowGeometryKey = QStringLiteral("mainWindow/geometry");
const QString MainWindowMaximizedKey = QStringLiteral("mainWindow/maximized");
const QString ListColumnsKey = QStringLiteral("mainWindow/columns");

QVariant value(const QString &key)
{
    const QSettings state(path(), QSettings::IniFormat);
    return state.value(key);
}

void setValue(const QString &key, const QVariant &value)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    QSettings state(path(), QSettings::IniFormat);
    state.setValue(key, value);
    state.sync();
}

} // namespace

QString path()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // The base directory specification ignores a relative path.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/ondro/state.ini");
}

QString lastScanFolder()
{
    return value(LastScanFolderKey).toString();
}

void setLastScanFolder(const QString &folder)
{
    setValue(LastScanFolderKey, folder);
}

QRect mainWindowGeometry()
{
    return value(MainWindowGeometryKey).toRect();
}

void setMainWindowGeometry(const QRect &geometry)
{
    setValue(MainWindowGeometryKey, geometry);
}

bool mainWindowMaximized()
{
    return value(MainWindowMaximizedKey).toBool();
}

void setMainWindowMaximized(bool maximized)
{
    setValue(MainWindowMaximizedKey, maximized);
}

QStringList listColumns()
{
    return value(ListColumnsKey).toStringList();
}

void setListColumns(const QStringList &columns)
{
    setValue(ListColumnsKey, columns);
}

} // namespace StateFile
