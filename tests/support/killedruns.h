#pragma once

#include "clirun.h"

#include <QString>
#include <QStringList>
#include <functional>

// ondro-cli killed (SIGKILL) at moments spread over a whole run of one
// command, and what a later start finds in its data folder.
struct KilledRuns
{
    QString program;
    QStringList arguments;
    std::function<bool()> reset; // puts the data folder back as before a run; false when it cannot

    int lastPercent = 300; // the latest kill, in percent of runMicros
    qint64 runMicros = 0;  // the longest whole run timed

    // Runs the command whole three times (the machine's load varies) and
    // keeps the longest; the last run's result.
    CliRun timeWhole();
    // Run moment of moments, killed from a fifth into a run to lastPercent
    // of its length (past it, for a machine busier than when it was timed);
    // the last moment lets it end. Its exit status, or -1 when it was killed.
    int runUntil(int moment, int moments) const;
};

// What a start finds in the data folder: both the list file and the media
// register read whole, and every own entry's medium in the register. The
// registered sources, in order, or one line saying what is wrong.
QStringList registeredSources(const QString &dataFolder);

// What the data folder holds besides its files, its lock and the temporary
// files of killed saves.
QStringList leftBesideSaves(const QString &dataFolder);
