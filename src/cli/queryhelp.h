#pragma once

#include <QString>

// The query language as ondro-cli query --help (and so the manual page)
// describes it: lines under 80 characters, as the help prints them.
const QString &queryLanguageHelp();
