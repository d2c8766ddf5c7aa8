#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// How the program starts: from its own catalogue list ("Normal") or, when
// it was given an argument, viewing a library ("ODL"), a mode that stays
// for the whole run and disables the commands that change own data.
enum class StartupMode { Normal, Odl };

struct StartupPlan
{
    StartupMode mode = StartupMode::Normal;
    QString libraryPath;         // the library to load, when there is one
    bool libraryMissing = false; // an ".odl" argument naming no readable file
};

// The argument is used whole. Only an argument whose last three characters
// read "ODL" in any case names a library; its blanks are trimmed after
// that test, so trailing blanks make it load nothing.
StartupPlan planStartup(const QString &argument);

// "Ondro 2000 - N files"
QString mainCaption(qsizetype entries);
// "[2000] version 2.6" and "Ondro 2000 v2.6"
QString splashVersionText();
QString aboutVersionText();

// Refuses a second running copy. A lock left by a copy that crashed is
// taken over, since its process no longer exists. ondro-cli takes the same
// lock while it changes the catalogue, so the two never write at once.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    // False when another process holds the lock after waitMs milliseconds,
    // or when the lock file cannot be made (see failed()).
    bool acquire(int waitMs = 0);
    // The lock file could not be made at all (not merely held by another).
    bool failed() const;
    // Who holds the lock now: the application name it recorded (such as
    // "ondro" or "ondro-cli") and its process id; false when unknown.
    bool holder(QString *application, qint64 *pid) const;
    QString lockPath() const;
    static QString defaultLockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};
