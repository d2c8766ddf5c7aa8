#include "store/mediastate.h"

#include "store/entrypath.h"
#include "store/rowstore.h"

#include <QFileInfo>

QString MediaStates::samplePath(QByteArrayView pathUtf8, QByteArrayView extensionLine)
{
    return EntryPath::openable(EntryPath::exactPath(pathUtf8, extensionLine));
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
    if (record.root.isEmpty() || !QFileInfo(record.root).isDir())
        return state;
    for (const QString &path : samples) {
        if (EntryPath::fileSize(EntryPath::fromOpenable(path))) {
            state.online = true;
            break;
        }
    }
    return state;
}

void MediaStates::update(const MediaRegister &media, const QList<MountedVolume> &volumes, const Samples &samples)
{
    m_media.clear();
    for (const MediaRecord &record : media.records()) {
        const QStringList paths = record.uuid.isEmpty() && samples ? samples(record.source) : QStringList();
        m_media.insert(record.source, {stateOf(record, volumes, paths), record.mountRoot});
    }
}

const MediumState *MediaStates::state(const QString &source) const
{
    const auto it = m_media.constFind(source);
    return it == m_media.cend() ? nullptr : &it->state;
}

bool MediaStates::isOffline(const QString &source) const
{
    const MediumState *known = state(source);
    return known && !known->online;
}

QString MediaStates::currentPath(const QString &storedPath, const QString &source) const
{
    const auto it = m_media.constFind(source);
    if (it == m_media.cend() || !it->state.online)
        return storedPath;
    return Volumes::rebased(storedPath, it->mountRoot, it->state.currentMount);
}

QHash<QString, QStringList> MediaStates::samplePaths(const MediaRegister &media, const RowStore &rows)
{
    QHash<QByteArray, QStringList> wanted;
    for (const MediaRecord &record : media.records()) {
        if (record.uuid.isEmpty())
            wanted.insert(record.source.toUtf8(), {});
    }
    qsizetype open = wanted.size();
    for (qsizetype row = 0; row < rows.size() && open > 0; ++row) {
        const auto it = wanted.find(rows.fieldUtf8(row, FieldSource).toByteArray());
        if (it == wanted.end() || it->size() >= 3)
            continue;
        it->append(samplePath(rows.fieldUtf8(row, FieldFilename), rows.extensionUtf8(row)));
        open -= it->size() == 3;
    }
    QHash<QString, QStringList> samples;
    for (auto it = wanted.begin(); it != wanted.end(); ++it)
        samples.insert(QString::fromUtf8(it.key()), it.value());
    return samples;
}
