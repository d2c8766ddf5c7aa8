#pragma once

#include "catalogue/cataloguelistfile.h"
#include "media/mediaregister.h"
#include "base/platform/volumes.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <optional>

class RowStore;

// Whether a medium can be read now, and where: its current root is the
// scanned root with the mount point of that time replaced by where its
// volume is mounted now.
struct MediumState
{
    bool online = false;
    QString currentMount;
    QString currentRoot;
    bool unknown = false; // a folder whose check has not ended in time: neither online nor offline

    bool operator==(const MediumState &) const = default;
};

// A few stored paths of each medium, each as EntryPath::openable gives it
// (a name that is not UTF-8 by its exact bytes): a medium without a UUID
// is online when its root exists and holds one of them. Gathered entry by
// entry, from rows or from the records of a list file as they are read.
class MediumSamples : public CatalogueListFile::RecordVisitor
{
public:
    static constexpr qsizetype PerMedium = 3;

    // Those of each medium the register knows without a UUID, in one pass
    // over rows that ends as soon as each has its three.
    static MediumSamples of(const MediaRegister &media, const RowStore &rows);

    // Takes a record's path when its medium has fewer than three.
    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override;
    QStringList paths(const QString &source) const { return m_paths.value(source.toUtf8()); }

private:
    QHash<QByteArray, QStringList> m_paths; // by source, as UTF-8
};

// The states of every registered medium, worked out once from the volumes
// mounted now and looked up per entry.
class MediaStates
{
public:
    static MediumState stateOf(const MediaRecord &record, const QList<MountedVolume> &volumes,
                               const QStringList &samples);
    // Whether root is a folder that holds one of samples: how a medium
    // without a UUID is found (it may hang on a network share).
    static bool folderHolds(const QString &root, const QStringList &samples);
    // What is known of a medium without a UUID: online or not, or none
    // while its check has not ended (media/folderprobe).
    using FolderCheck = std::function<std::optional<bool>(const QString &source)>;

    // The one way the states are worked out: each record's volume (by its
    // UUID) among the volumes mounted, or for a medium without a UUID its
    // root and samples (folderHolds, or what folders says when given).
    void update(const MediaRegister &media, const QList<MountedVolume> &volumes, const MediumSamples &samples,
                const FolderCheck &folders = {});
    bool operator==(const MediaStates &) const = default;
    // The states against the volumes mounted now (Volumes::mounted), for
    // ondro-cli; the desktop asks its Platform for them.
    static MediaStates mountedNow(const MediaRegister &media, const MediumSamples &samples);

    // Null for a source the register does not know.
    const MediumState *state(const QString &source) const;
    // A source the register does not know, or an unknown one, is not
    // offline: nothing says so.
    bool isOffline(const QString &source) const;
    // Where an entry's file is now: the stored path under the current mount
    // point of its medium, or the stored path when nothing moved.
    QString currentPath(const QString &storedPath, const QString &source) const;

private:
    struct Known
    {
        MediumState state;
        QString mountRoot;
        bool operator==(const Known &) const = default;
    };
    QHash<QString, Known> m_media;
};

// The registered medium a scan of root as source would add again under
// another ID (MediaRegister::sameMedium, each root as mounted now); null
// when there is none.
const MediaRecord *sameMedium(const MediaRegister &media, const MediaStates &states, const QString &source,
                              const QString &root);
