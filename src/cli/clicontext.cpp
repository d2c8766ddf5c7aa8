#include "cli/clicontext.h"

#include "base/safefileread.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

bool CliContext::queryIsUtf8(const QString &expression) const
{
    if (!expression.contains(QChar::ReplacementCharacter))
        return true;
    for (qsizetype i = 0; i < lossyArguments.size(); ++i) {
        if (!lossyArguments.at(i).endsWith(expression))
            continue;
        // The query is the whole argument, or what follows "--query=".
        const QByteArray &raw = lossyBytes.at(i);
        const QByteArrayView query = lossyArguments.at(i) == expression ? QByteArrayView(raw)
                                                                         : QByteArrayView(raw).sliced(raw.indexOf('=') + 1);
        qsizetype at = 0;
        for (qsizetype length = 1; at < query.size(); at += length) {
            const auto lead = uchar(query[at]);
            length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            if (!query.sliced(at, std::min(length, query.size() - at)).isValidUtf8())
                break;
        }
        CliIo::error(QStringLiteral("the query is not valid UTF-8 at byte %1").arg(at + 1));
        return false;
    }
    return true;
}

bool CliContext::keptWhole(const QString &value) const
{
    if (!value.contains(QChar::ReplacementCharacter))
        return true;
    for (const QString &lossy : lossyArguments) {
        if (lossy.contains(value)) {
            CliIo::error(QStringLiteral("cannot use the name %1: it is not valid UTF-8, and ondro-cli cannot keep "
                                        "it as it is")
                             .arg(QDir::toNativeSeparators(value)));
            return false;
        }
    }
    return true;
}

namespace CliIo {

namespace {
using SafeFileRead::systemReason;

} // namespace

bool checkReadableFile(const QString &path)
{
    // A named pipe with no writer cannot hang the program: it is refused
    // before it is opened, and what is opened must be a plain file.
    QFile file;
    const SafeFileRead::Result opened = SafeFileRead::openPlainFile(path, file);
    if (opened.ok())
        return true;
    error(QStringLiteral("cannot read %1: %2")
              .arg(QDir::toNativeSeparators(path), opened.status == SafeFileRead::Status::Missing
                                                       ? QStringLiteral("no such file")
                                                       : opened.reason));
    return false;
}

bool checkDataDir(const QString &dir)
{
    const QString shown = QDir::toNativeSeparators(dir);
    struct stat st;
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        error(QStringLiteral("cannot use %1 as the data folder: %2").arg(shown, systemReason(errno)));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error(QStringLiteral("cannot use %1 as the data folder: %2")
                  .arg(shown, S_ISREG(st.st_mode) ? QStringLiteral("it is a file, not a folder")
                                                : QStringLiteral("it is %1, not a folder")
                                                      .arg(SafeFileRead::kindName(st.st_mode))));
        return false;
    }
    return true;
}

bool checkEnvironmentName(const char *variable, const QString &option)
{
    const QByteArray value = qgetenv(variable);
    if (QByteArrayView(value).isValidUtf8())
        return true;
    error(QStringLiteral("the folder in %1 has a name that is not valid UTF-8, and ondro-cli cannot keep it as "
                         "it is; name the folder with %2")
              .arg(QLatin1String(variable), option));
    return false;
}

} // namespace CliIo
