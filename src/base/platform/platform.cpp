#include "base/platform/platform.h"

#include "base/platform/statefile.h"

QString Platform::lastScanFolder()
{
    return StateFile::lastScanFolder();
}

void Platform::setLastScanFolder(const QString &folder)
{
    StateFile::setLastScanFolder(folder);
}

QRect Platform::mainWindowGeometry()
{
    return StateFile::mainWindowGeometry();
}

void Platform::setMainWindowGeometry(const QRect &geometry)
{
    StateFile::setMainWindowGeometry(geometry);
}

bool Platform::mainWindowMaximized()
{
    return StateFile::mainWindowMaximized();
}

void Platform::setMainWindowMaximized(bool maximized)
{
    StateFile::setMainWindowMaximized(maximized);
}

QStringList Platform::listColumns()
{
    return StateFile::listColumns();
}

void Platform::setListColumns(const QStringList &columns)
{
    StateFile::setListColumns(columns);
}

QList<MountedVolume> Platform::mountedVolumes()
{
    return Volumes::mounted();
}
