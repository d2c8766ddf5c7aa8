#include "cli/cataloguelock.h"

#include "cli/clicontext.h"

#include <QCoreApplication>
#include <QDir>

namespace CatalogueLock {

std::unique_ptr<SingleInstance> take(const QString &dataDir)
{
    auto lock = std::make_unique<SingleInstance>(SingleInstance::lockPathFor(dataDir));
    const QString shown = QDir::toNativeSeparators(lock->lockPath());
    const QString self = QCoreApplication::applicationName();
    bool announced = false;
    while (!lock->acquire(announced ? 250 : 0)) {
        if (lock->failed()) {
            CliIo::error(QStringLiteral("cannot take the lock %1 (%2), so the catalogue %3 was not changed")
                             .arg(shown, lock->reason(),
                                  QDir::toNativeSeparators(dataDir + QStringLiteral("/zembra.lst"))));
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
            const QString process = pid > 0 ? QStringLiteral(" (process %1)").arg(pid) : QString();
            CliIo::error(QStringLiteral("waiting for another ondro-cli%1 that is changing the catalogue").arg(process));
            announced = true;
        }
    }
    if (!lock->takenOver().isEmpty())
        CliIo::error(QStringLiteral("took over the stale lock %1: %2").arg(shown, lock->takenOver()));
    return lock;
}

} // namespace CatalogueLock
