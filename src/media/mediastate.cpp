#include "media/mediastate.h"

#include "catalogue/entrypath.h"
#include "catalogue/rowstore.h"

#include <QFileInfo>

MediumSamples MediumSamples::of(const MediaRegister &media, const RowStore &rows)
{
    MediumSamples samples;
    for (const MediaRecord &record : media.records()) {
        if (record.uuid.isEmpty())
            samples.m_paths.insert(record.source.toUtf8(), {});
    }
    qsizetype open = samples.m_paths.size();
    for (qsizetype row = 0; row < rows.size() && open > 0; ++row) {
        if (rows.origin(row) == EntryOrigin::Library)
            continue; // a library's entries are on no medium of the user's
        const auto it = samples.m_paths.find(rows.fieldUtf8(row, FieldSource).toByteArray());
        if (it == samples.m_paths.end() || it->size() >= PerMedium)
            continue;
        it->append(EntryPath::openable(EntryPath::exactPath(rows.fieldUtf8(row, FieldFilename), rows.extensionUtf8(row))));
        open -= it->size() == PerMedium;
    }
    return samples;
}

void MediumSamples::record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension)
{
    QStringList &paths = m_paths[fields[FieldSource].toByteArray()];
    if (paths.size() < PerMedium)
        paths.append(EntryPath::openable(EntryPath::exactPath(fields[FieldFilename], extension)));
}

MediumState MediaStates::stateOf(const MediaRecord &record, const QList<MountedVolume> &volumes,
                                 const QStringList &samples)
{
    MediumState state;
    state.currentMount = record.mountRoot;
    state.currentRoot = record.root;
    if (!record.uuid.isEmpty()) {
        for (const MountedVolume &volume : volumes) {
            if (volume.uuid != record.uuid)
                continue;
            state.online = true;
            state.currentMount = volume.mountPoint;
            state.currentRoot = Volumes::rebased(record.root, record.mountRoot, volume.mountPoint);
            break;
        }
        return state;
    }
    state.online = folderHolds(record.root, samples);
    return state;
}

bool MediaStates::folderHolds(const QString &root, const QStringList &samples)
{
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return false;
    for (const QString &path : samples) {
        if (EntryPath::fileSize(EntryPath::fromOpenable(path)))
            return true;
    }
    return false;
}

void MediaStates::update(const MediaRegister &media, const QList<MountedVolume> &volumes,
                         const MediumSamples &samples, const FolderCheck &folders)
{
    m_media.clear();
    for (const MediaRecord &record : media.records()) {
        if (!record.uuid.isEmpty() || !folders) {
            const QStringList paths = record.uuid.isEmpty() ? samples.paths(record.source) : QStringList();
            m_media.insert(record.source, {stateOf(record, volumes, paths), record.mountRoot});
            continue;
        }
        MediumState state{.currentMount = record.mountRoot, .currentRoot = record.root};
        const std::optional<bool> online = folders(record.source);
        state.online = online.value_or(false);
        state.unknown = !online;
        m_media.insert(record.source, {state, record.mountRoot});
    }
}

MediaStates MediaStates::mountedNow(const MediaRegister &media, const MediumSamples &samples)
{
    MediaStates states;
    states.update(media, Volumes::mounted(), samples);
    return states;
}

const MediumState *MediaStates::state(const QString &source) const
{
    const auto it = m_media.constFind(source);
    return it == m_media.cend() ? nullptr : &it->state;
}

bool MediaStates::isOffline(const QString &source) const
{
    const MediumState *known = state(source);
    return known && !known->online && !known->unknown;
}

QString MediaStates::currentPath(const QString &storedPath, const QString &source) const
{
    const auto it = m_media.constFind(source);
    if (it == m_media.cend() || !it->state.online)
        return storedPath;
    return Volumes::rebased(storedPath, it->mountRoot, it->state.currentMount);
}

const MediaRecord *sameMedium(const MediaRegister &media, const MediaStates &states, const QString &source,
                              const QString &root)
{
    return media.sameMedium(source, root, [&states](const MediaRecord &record) {
        const MediumState *state = states.state(record.source);
        return state ? state->currentRoot : record.root;
    });
}
