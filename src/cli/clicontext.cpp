#include "cli/clicontext.h"

#include "store/cataloguelistfile.h"
#include "store/safefileread.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

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
bool failureHandled = false;
int lastOutputErrno = 0;

using SafeFileRead::systemReason;

} // namespace

void out(const QByteArray &bytes)
{
    if (!bytes.isEmpty() && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
        lastOutputErrno = errno;
}

void out(const QString &text)
{
    out(text.toUtf8());
}

void error(const QString &message)
{
    std::fflush(stdout); // keep the order of both streams on one terminal
    const QByteArray line = QStringLiteral("ondro-cli: %1\n").arg(message).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

bool finishOutput()
{
    if (std::fflush(stdout) != 0)
        lastOutputErrno = errno;
    return !std::ferror(stdout);
}

void outputFailureHandled()
{
    failureHandled = true;
}

bool isOutputFailureHandled()
{
    return failureHandled;
}

QString outputError()
{
    return lastOutputErrno != 0 ? systemReason(lastOutputErrno) : QStringLiteral("the write failed");
}

bool loadCatalogue(const QString &path, RowStore &rows, Damaged damaged, bool *exists)
{
    CatalogueListFile::ReadResult read = CatalogueListFile::read(path);
    if (exists)
        *exists = read.state != CatalogueListFile::ReadState::Missing;
    if (!reportRead(path, read, damaged))
        return false;
    rows = std::move(read.rows);
    return true;
}

bool reportRead(const QString &path, const CatalogueListFile::ReadResult &read, Damaged damaged)
{
    const QString problem = CatalogueListFile::readProblemMessage(path, read);
    switch (read.state) {
    case CatalogueListFile::ReadState::Missing:
    case CatalogueListFile::ReadState::Whole:
        break;
    case CatalogueListFile::ReadState::Damaged:
        if (damaged == Damaged::Refuse) {
            error(problem + QStringLiteral(" Nothing was changed: open it in Ondro and save it there, or repeat "
                                           "with --accept-damaged to keep only the whole entries."));
            return false;
        }
        error(problem);
        break;
    case CatalogueListFile::ReadState::Unreadable:
        error(problem);
        return false;
    }
    return true;
}

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
