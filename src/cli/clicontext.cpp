#include "cli/clicontext.h"

#include "store/cataloguelistfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace CliIo {

void out(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
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
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

bool loadCatalogue(const QString &path, RowStore &rows)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        rows = RowStore();
        return true;
    }
    const QString shown = QDir::toNativeSeparators(path);
    if (info.isDir()) {
        error(QStringLiteral("cannot read the catalogue %1: it is a folder").arg(shown));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error(QStringLiteral("cannot read the catalogue %1: %2").arg(shown, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error(QStringLiteral("cannot read the catalogue %1: %2").arg(shown, file.errorString()));
        return false;
    }
    rows = CatalogueListFile::parse(bytes).rows;
    return true;
}

bool checkReadableFile(const QString &path)
{
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (!info.exists()) {
        error(QStringLiteral("cannot read %1: no such file").arg(shown));
        return false;
    }
    if (info.isDir()) {
        error(QStringLiteral("cannot read %1: it is a folder").arg(shown));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error(QStringLiteral("cannot read %1: %2").arg(shown, file.errorString()));
        return false;
    }
    return true;
}

} // namespace CliIo
