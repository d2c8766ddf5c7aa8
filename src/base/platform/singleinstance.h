#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// Refuses a second running copy. The lock is the file "ondro.lock" in the
// data folder, so every program using that folder finds the same lock
// whatever its environment; ondro-cli takes it too while it changes the
// catalogue, so the two never write at once. A lock file that names no
// live owner (left by a crash or a power cut: empty, unreadable, or its
// process gone) is taken over (see takenOver()).
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    // False when another process holds the lock after waitMs milliseconds,
    // or when the lock cannot be taken at all (see failed()). A lock file
    // just made by another process is given a moment to name its owner,
    // which may make the call last up to two seconds longer.
    bool acquire(int waitMs = 0);
    // The lock cannot be taken at all (not merely held by another);
    // reason() gives the system's reason.
    bool failed() const;
    QString reason() const;
    // Why the lock file found in place was stale, when acquire() took it
    // over ("it was empty", "its process 12 had ended"); empty otherwise.
    QString takenOver() const;
    // Who holds the lock now: the application name it recorded (such as
    // "ondro" or "ondro-cli") and its process id; false when unknown.
    bool holder(QString *application, qint64 *pid) const;
    QString lockPath() const;
    // The lock of the data folder dataDir.
    static QString lockPathFor(const QString &dataDir);
    // The lock of the desktop program's data folder.
    static QString defaultLockPath();

private:
    enum class Attempt { Locked, Held, Pending, Blocked };
    Attempt attempt();
    Attempt takeOverStale();
    Attempt lockNow();
    Attempt blocked(int error);

    std::unique_ptr<QLockFile> m_lock;
    QString m_reason;
    QString m_takenOver;
};
