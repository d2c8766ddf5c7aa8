#include "cli/cataloguelock.h"

#include "cli/clicontext.h"
#include "store/platform/systempaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace CatalogueLock {

namespace {

// The same folder, through links and relative spellings alike; a folder
// not made yet is compared by its cleaned absolute path.
QString folderIdentity(const QString &folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

QString lockPathFor(const QString &dataDir)
{
    if (folderIdentity(dataDir) == folderIdentity(SystemPaths::windowsDirectory()))
        return SingleInstance::defaultLockPath();
    return dataDir + QStringLiteral("/ondro.lock");
}

std::unique_ptr<SingleInstance> take(const QString &dataDir)
{
    auto lock = std::make_unique<SingleInstance>(lockPathFor(dataDir));
    const QString shown = QDir::toNativeSeparators(lock->lockPath());
    const QString self = QCoreApplication::applicationName();
    bool announced = false;
    while (!lock->acquire(announced ? 250 : 0)) {
        if (lock->failed()) {
            CliIo::error(QStringLiteral("cannot take the lock %1, so the catalogue %2 was not changed")
                             .arg(shown, QDir::toNativeSeparators(dataDir + QStringLiteral("/zembra.lst"))));
            return nullptr;
        }
        QString holder;
        qint64 pid = 0;
        // A holder that cannot be told yet is taken for another ondro-cli
        // that is just taking or leaving the lock.
        if (lock->holder(&holder, &pid) && holder != self) {
            CliIo::error(QStringLiteral("Ondro is running (process %1) and would save over the changes; close it "
                                        "and run the command again. The catalogue was not changed.")
                             .arg(pid));
            return nullptr;
        }
        if (!announced) {
            CliIo::error(QStringLiteral("waiting for another ondro-cli (process %1) that is changing the catalogue")
                             .arg(pid));
            announced = true;
        }
    }
    return lock;
}

} // namespace CatalogueLock
