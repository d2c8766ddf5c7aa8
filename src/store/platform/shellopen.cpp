#include "store/platform/shellopen.h"

#include "store/platform/mimeapps.h"
#include "store/platform/platform.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

namespace ShellOpen {

namespace {

bool isWebAddress(const QString &text)
{
    const QUrl url(text);
    return url.isValid() && !url.scheme().isEmpty() && url.scheme().size() > 1 && !url.isLocalFile();
}

} // namespace

QString defaultApplicationFor(const QString &mimeType)
{
    const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForName(mimeType);
    QStringList types{mimeType};
    if (type.isValid())
        types += type.allAncestors();
    return MimeApps::defaultApplication(types, MimeApps::Folders::fromEnvironment());
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
