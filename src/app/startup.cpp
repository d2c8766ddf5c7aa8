#include "app/startup.h"

#include "store/platform/systempaths.h"

#include <QDir>
#include <QStandardPaths>

StartupPlan planStartup(const QString &argument)
{
    StartupPlan plan;
    if (argument.isEmpty())
        return plan;
    plan.mode = StartupMode::Odl;
    if (argument.right(3).toUpper() != QLatin1String("ODL"))
        return plan;
    const QString path = argument.trimmed();
    if (SystemPaths::fileExists(path))
        plan.libraryPath = path;
    else
        plan.libraryMissing = true;
    return plan;
}

QString mainCaption(qsizetype entries)
{
    return QStringLiteral("Ondro 2000 - %1 files").arg(entries);
}

QString splashVersionText()
{
    return QStringLiteral("[2000] version %1.%2").arg(ONDRO_VERSION_MAJOR).arg(ONDRO_VERSION_MINOR);
}

QString aboutVersionText()
{
    return QStringLiteral("Ondro 2000 v%1.%2").arg(ONDRO_VERSION_MAJOR).arg(ONDRO_VERSION_MINOR);
}

SingleInstance::SingleInstance(const QString &lockPath)
{
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    m_lock = std::make_unique<QLockFile>(lockPath);
    // A holder may keep the lock for hours (a long scan, a day's session):
    // only a holder whose process is gone makes the lock stale.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::acquire(int waitMs)
{
    return m_lock->isLocked() || m_lock->tryLock(waitMs);
}

bool SingleInstance::failed() const
{
    return !m_lock->isLocked() && m_lock->error() != QLockFile::NoError &&
           m_lock->error() != QLockFile::LockFailedError;
}

bool SingleInstance::holder(QString *application, qint64 *pid) const
{
    QString host;
    return m_lock->getLockInfo(pid, &host, application);
}

QString SingleInstance::lockPath() const
{
    return m_lock->fileName();
}

QString SingleInstance::defaultLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = SystemPaths::windowsDirectory();
    return folder + QStringLiteral("/ondro.lock");
}
