#include "base/platform/openfailure.h"

#include "base/platform/platform.h"

#include <QDir>
#include <QUrl>

namespace OpenFailure {

QString message(const QString &pathOrAddress, int shellResult)
{
    if (shellResult > 32)
        return {};
    const QUrl url(pathOrAddress);
    if (url.isValid() && url.scheme().size() > 1 && !url.isLocalFile())
        return QStringLiteral("No web browser could be started. Open this address in your browser: %1")
            .arg(pathOrAddress);
    const QString shown = QDir::toNativeSeparators(pathOrAddress);
    if (shellResult <= Platform::ShellFileNotFound)
        return QStringLiteral("The file %1 could not be opened: it is not there.").arg(shown);
    return QStringLiteral("No program is set up to open this kind of file. Open it from its folder: %1").arg(shown);
}

} // namespace OpenFailure
