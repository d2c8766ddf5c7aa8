#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The volumes a scan can start from: the mounted volumes that hold real
// files, removable media (CDs, memory sticks) first.
namespace DriveList {

// What the list needs to know of one mounted volume.
struct Volume
{
    QString rootPath;   // where it is mounted
    QString name;       // the volume label, may be empty
    QByteArray fileSystemType;
    bool valid = true;
    bool ready = true;
    bool removable = false;
};

// A volume offered in the drive list.
struct Drive
{
    QString rootPath; // the drive text of messages and the root of the walk
    QString label;    // what the list shows
    bool removable = false;
};

// True for kernel and memory file systems that never hold the user's files
// (proc, sysfs, tmpfs, cgroup and the like).
bool isPseudoFileSystem(const QByteArray &type);

// The drives to offer: valid, ready volumes that are not the root file
// system, pseudo file systems nor system folders (/proc, /sys, /dev, /run
// except /run/media),
// one per root path, removable ones first, each group in root path order.
QList<Drive> drivesFrom(const QList<Volume> &volumes);

// The mounted volumes of this machine, as QStorageInfo reports them, with
// the removable flag taken from the kernel's block device information.
QList<Volume> mountedVolumes();

// drivesFrom(mountedVolumes()), keeping only roots that are folders.
QList<Drive> availableDrives();

} // namespace DriveList
