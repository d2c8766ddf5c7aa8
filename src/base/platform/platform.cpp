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

QList<MountedVolume> Platform::mountedVolumes()
{
    return Volumes::mounted();
}
