#pragma once

#include <QList>
#include <QString>

// A file system mounted now, with what identifies it across mounts.
struct MountedVolume
{
    QString mountPoint; // absolute, no trailing separator except for "/"
    QString device;     // "/dev/sdb1", or empty
    QString fstype;     // "ext4", "vfat", "iso9660"...
    QString label;      // may be empty
    QString uuid;       // may be empty; for a disc its volume ID and creation time
    qint64 capacity = 0;

    bool operator==(const MountedVolume &) const = default;
};

namespace Volumes {

// The volumes mounted now. UUIDs come from /dev/disk/by-uuid, which udev
// keeps readable for every user (no root and no extra library needed);
// labels from Qt, which reads /dev/disk/by-label.
QList<MountedVolume> mounted();

// The volume whose mount point holds path (the longest that does); null
// when none does.
const MountedVolume *holding(const QList<MountedVolume> &volumes, const QString &path);

// True for the file systems of optical discs.
bool isDisc(const QString &fstype);

// path with its leading folder `from` replaced by `to`; path itself when it
// does not lie under `from`.
QString rebased(const QString &path, const QString &from, const QString &to);

} // namespace Volumes
