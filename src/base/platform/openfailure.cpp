#include "base/platform/openfailure.h"

#include "base/platform/platform.h"
#include "base/platform/prompter.h"

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

QString reason(int shellResult)
{
    if (shellResult > 32)
        return {};
    if (shellResult <= Platform::ShellFileNotFound)
        return QStringLiteral("it is not there");
    return QStringLiteral("no program is set up to open this kind of file");
}

void openWithRetry(Platform &platform, Prompter &prompter, const QString &path,
                   const std::function<QString()> &offlineQuestion)
{
    const auto question = [&offlineQuestion] {
        const QString offline = offlineQuestion ? offlineQuestion() : QString();
        return offline.isEmpty() ? QStringLiteral("Error launching MP3 player on this file.  Try again?") : offline;
    };
    for (;;) {
        const int result = platform.shellOpen(path);
        if (result > Platform::ShellFileNotFound) {
            if (const QString unopened = message(path, result); !unopened.isEmpty())
                prompter.message(unopened, Prompter::Icon::Information);
            return;
        }
        if (prompter.message(question(), Prompter::Icon::Warning, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
            return;
    }
}

} // namespace OpenFailure
