#include "store/platform/shellopen.h"

#include "store/platform/platform.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace ShellOpen {

namespace {

bool isWebAddress(const QString &text)
{
    const QUrl url(text);
    return url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1 && !url.isLocalFile();
}

QString queryDefault(const QString &mimeType)
{
    QProcess xdgMime;
    xdgMime.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!xdgMime.waitForFinished(5000) || xdgMime.exitStatus() != QProcess::NormalExit)
        return {};
    const QString id = QString::fromLocal8Bit(xdgMime.readAllStandardOutput()).trimmed();
    const QString desktopFile = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    if (id.isEmpty() || desktopFile.isEmpty())
        return {};
    // A program that needs a terminal would run unseen when xdg-open starts
    // it from a window: it opens nothing the user can see.
    const QSettings entry(desktopFile, QSettings::IniFormat);
    if (entry.value(QStringLiteral("Desktop Entry/Terminal")).toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return {};
    return id;
}

} // namespace

QString defaultApplicationFor(const QString &mimeType)
{
    const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForName(mimeType);
    QStringList candidates{mimeType};
    if (type.isValid())
        candidates += type.allAncestors();
    for (const QString &candidate : candidates) {
        const QString id = queryDefault(candidate);
        if (!id.isEmpty())
            return id;
    }
    return {};
}

int open(const QString &pathOrAddress)
{
    if (!isWebAddress(pathOrAddress)) {
        const QFileInfo info(pathOrAddress);
        if (!info.exists())
            return Platform::ShellFileNotFound;
        const QString mime = QMimeDatabase().mimeTypeForFile(info).name();
        if (defaultApplicationFor(mime).isEmpty())
            return Platform::ShellNoAssociation;
    }
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {pathOrAddress}))
        return Platform::ShellNoAssociation;
    return Platform::ShellHandedOver;
}

} // namespace ShellOpen
