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
// taken over, since its process no longer exists.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath = defaultLockPath());
    bool acquire(); // false when another copy holds the lock
    static QString defaultLockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};
