#include "store/atomicsave.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

SaveResult saveAtomically(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return {false, QStringLiteral("the folder %1 cannot be created").arg(info.absolutePath())};

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};
    if (!write(file) || file.error() != QFileDevice::NoError) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                                                                    : QStringLiteral("writing was stopped");
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {};
}

QString saveFailureMessage(const QString &path, const SaveResult &result)
{
    return QStringLiteral("Could not save %1: %2. The previous file was kept.")
        .arg(QDir::toNativeSeparators(path), result.error);
}
