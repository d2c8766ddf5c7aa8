#include "base/platform/shellopen.h"

#include "base/exactpath.h"

#include "base/platform/mimeapps.h"
#include "base/platform/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

#include <sys/stat.h>

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
        // A file:// address stands for a path whose bytes are not UTF-8
        // (EntryPath::openable): it is looked at by its exact bytes, its
        // type by its name, and handed over as the address.
        const QByteArray exact = EntryPath::fromOpenable(pathOrAddress);
        struct stat st;
        if (::stat(exact.constData(), &st) != 0)
            return Platform::ShellFileNotFound;
        const QMimeDatabase db;
        const QString mime = exact.isValidUtf8()
                                 ? db.mimeTypeForFile(QFileInfo(pathOrAddress)).name()
                                 : db.mimeTypeForFile(QFile::decodeName(exact), QMimeDatabase::MatchExtension).name();
        if (defaultApplicationFor(mime).isEmpty())
            return Platform::ShellNoAssociation;
    }
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {pathOrAddress}))
        return Platform::ShellNoAssociation;
    return Platform::ShellHandedOver;
}

} // namespace ShellOpen
