#pragma once

#include <QString>

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
