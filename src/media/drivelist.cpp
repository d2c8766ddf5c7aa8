#include "media/drivelist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>

namespace DriveList {

namespace {

bool isSystemFolder(const QString &root)
{
    const auto under = [&root](QLatin1String folder) {
        return root == folder || root.startsWith(folder + QLatin1Char('/'));
    };
    if (under(QLatin1String("/run/media")))
        return false;
    return under(QLatin1String("/proc")) || under(QLatin1String("/sys")) || under(QLatin1String("/dev"))
        || under(QLatin1String("/run"));
}

// Reads a sysfs flag file holding "0" or "1".
bool flagFileSet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(8).trimmed() == "1";
}

// The kernel marks removable disks in /sys/class/block/<disk>/removable;
// a partition carries the flag on its parent disk.
bool isRemovableDevice(const QByteArray &device)
{
    if (!device.startsWith("/dev/"))
        return false;
    const QString name = QFileInfo(QString::fromLocal8Bit(device)).fileName();
    const QString entry = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (entry.isEmpty())
        return false;
    if (flagFileSet(entry + QStringLiteral("/removable")))
        return true;
    if (QFileInfo::exists(entry + QStringLiteral("/partition")))
        return flagFileSet(QFileInfo(entry).absolutePath() + QStringLiteral("/removable"));
    return false;
}

} // namespace

bool isPseudoFileSystem(const QByteArray &type)
{
    static const QSet<QByteArray> pseudo = {
        "proc",    "sysfs",      "devtmpfs",    "devpts",   "tmpfs",      "ramfs",     "cgroup",
        "cgroup2", "securityfs", "debugfs",     "tracefs",  "pstore",     "bpf",       "configfs",
        "fusectl", "mqueue",     "hugetlbfs",   "autofs",   "binfmt_misc", "efivarfs", "nsfs",
        "rpc_pipefs", "selinuxfs", "squashfs",  "fuse.portal", "fuse.gvfsd-fuse", "none",
    };
    return type.isEmpty() || pseudo.contains(type);
}

QList<Drive> drivesFrom(const QList<Volume> &volumes)
{
    QList<Drive> drives;
    QSet<QString> seen;
    for (const Volume &v : volumes) {
        // The root file system is the whole machine, not a medium: it is
        // scanned only when chosen as a folder.
        if (!v.valid || !v.ready || v.rootPath.isEmpty() || v.rootPath == QLatin1String("/")
            || isPseudoFileSystem(v.fileSystemType) || isSystemFolder(v.rootPath) || seen.contains(v.rootPath))
            continue;
        seen.insert(v.rootPath);
        QString label = v.rootPath;
        if (!v.name.isEmpty() && v.name != v.rootPath)
            label += QStringLiteral("  [") + v.name + QLatin1Char(']');
        drives.append({v.rootPath, label, v.removable});
    }
    std::stable_sort(drives.begin(), drives.end(), [](const Drive &a, const Drive &b) {
        if (a.removable != b.removable)
            return a.removable;
        return a.rootPath < b.rootPath;
    });
    return drives;
}

QList<Volume> mountedVolumes()
{
    QList<Volume> volumes;
    const QList<QStorageInfo> mounted = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &info : mounted) {
        const QByteArray type = info.fileSystemType();
        volumes.append({info.rootPath(), info.name(), type, info.isValid(), info.isReady(),
                        type == "iso9660" || type == "udf" || isRemovableDevice(info.device())});
    }
    return volumes;
}

QList<Drive> availableDrives()
{
    QList<Drive> drives = drivesFrom(mountedVolumes());
    // A file bind-mounted over another (containers do this with /etc/hosts)
    // shows up as a volume whose root is a file.
    drives.removeIf([](const Drive &d) { return !QFileInfo(d.rootPath).isDir(); });
    return drives;
}

} // namespace DriveList
