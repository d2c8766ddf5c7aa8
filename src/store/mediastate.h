#pragma once

#include "store/mediaregister.h"
#include "store/platform/volumes.h"

#include <QHash>
#include <QStringList>
#include <functional>

class RowStore;

// Whether a medium can be read now, and where: its current root is the
// scanned root with the mount point of that time replaced by where its
// volume is mounted now.
struct MediumState
{
    bool online = false;
    QString currentMount;
    QString currentRoot;
};

// The states of every registered medium, worked out once from the volumes
// mounted now and looked up per entry.
class MediaStates
{
public:
    // A few stored paths of the medium's entries, each as EntryPath::openable
    // gives it (a name that is not UTF-8 by its exact bytes): a medium
    // without a UUID is online when its root exists and holds one of them.
    using Samples = std::function<QStringList(const QString &source)>;

    // The sample an entry gives, from its stored path and extension line.
    static QString samplePath(QByteArrayView pathUtf8, QByteArrayView extensionLine);

    static MediumState stateOf(const MediaRecord &record, const QList<MountedVolume> &volumes,
                               const QStringList &samples);

    // Up to three stored paths of each medium without a UUID, in one pass
    // over rows that ends as soon as each has its three.
    static QHash<QString, QStringList> samplePaths(const MediaRegister &media, const RowStore &rows);

    void update(const MediaRegister &media, const QList<MountedVolume> &volumes, const Samples &samples);

    // Null for a source the register does not know.
    const MediumState *state(const QString &source) const;
    // A source the register does not know is not offline: nothing says so.
    bool isOffline(const QString &source) const;
    // Where an entry's file is now: the stored path under the current mount
    // point of its medium, or the stored path when nothing moved.
    QString currentPath(const QString &storedPath, const QString &source) const;

private:
    struct Known
    {
        MediumState state;
        QString mountRoot;
    };
    QHash<QString, Known> m_media;
};
