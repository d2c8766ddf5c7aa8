#include "base/platform/volumes.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QStorageInfo>

namespace Volumes {

namespace {

// The device each UUID names, as the canonical device path.
QHash<QString, QString> uuidsByDevice()
{
    QHash<QString, QString> uuids;
    QDirIterator links(QStringLiteral("/dev/disk/by-uuid"), QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    while (links.hasNext()) {
        const QFileInfo link(links.next());
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty())
            uuids.insert(device, link.fileName());
    }
    return uuids;
}

bool under(const QString &path, const QString &folder)
{
    if (folder == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == QLatin1Char('/'));
}

} // namespace

bool isDisc(const QString &fstype)
{
    return fstype == QLatin1String("iso9660") || fstype == QLatin1String("udf");
}

QList<MountedVolume> mounted()
{
    const QHash<QString, QString> uuids = uuidsByDevice();
    QList<MountedVolume> volumes;
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid())
            continue;
        MountedVolume volume;
        volume.mountPoint = storage.rootPath();
        volume.device = QString::fromLocal8Bit(storage.device());
        volume.fstype = QString::fromLatin1(storage.fileSystemType());
        volume.label = storage.name();
        volume.capacity = storage.bytesTotal();
        const QString canonical = QFileInfo(volume.device).canonicalFilePath();
        const QString uuid = canonical.isEmpty() ? QString() : uuids.value(canonical);
        // udev names a disc by its creation time, which alone may repeat
        // across discs mastered by one program: the volume ID goes with it.
        volume.uuid = isDisc(volume.fstype) && !uuid.isEmpty() ? volume.label + QLatin1Char('/') + uuid : uuid;
        volumes.append(volume);
    }
    return volumes;
}

const MountedVolume *holding(const QList<MountedVolume> &volumes, const QString &path)
{
    const MountedVolume *best = nullptr;
    for (const MountedVolume &volume : volumes) {
        if (under(path, volume.mountPoint) && (!best || volume.mountPoint.size() > best->mountPoint.size()))
            best = &volume;
    }
    return best;
}

QString rebased(const QString &path, const QString &from, const QString &to)
{
    if (from.isEmpty() || from == to || !under(path, from))
        return path;
    QString rest = path.mid(from.size());
    if (from == QLatin1String("/"))
        rest.prepend(QLatin1Char('/'));
    if (to == QLatin1String("/"))
        return rest.isEmpty() ? to : rest;
    return to + rest;
}

} // namespace Volumes
