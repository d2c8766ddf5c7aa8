#include "browse/playlist.h"

#include "catalogue/entrypath.h"
#include "base/oneline.h"
#include "base/platform/systempaths.h"

#include <QDir>

namespace Playlist {

QString path()
{
    return SystemPaths::exportsFolder() + QStringLiteral("/ondrotemp.m3u");
}

QByteArray bytes(const RowStore &bin)
{
    QByteArray out;
    for (qsizetype i = 0; i < bin.size(); ++i) {
        OneLine::append(out, EntryPath::exactPath(bin.fieldUtf8(i, FieldFilename), bin.extensionUtf8(i)));
        out += "\r\n";
    }
    return out;
}

SaveResult write(const QString &path, const RowStore &bin, const SaveSystemCalls &calls)
{
    const QByteArray content = bytes(bin);
    return saveAtomically(path, [&](QIODevice &file) { return file.write(content) == content.size(); }, calls);
}

QString failureMessage(const QString &path, const SaveResult &result)
{
    return QStringLiteral("Could not write the playlist %1: %2.").arg(QDir::toNativeSeparators(path), result.error);
}

} // namespace Playlist
