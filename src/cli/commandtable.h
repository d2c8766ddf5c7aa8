#pragma once

#include "cli/clicommands.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <utility>
#include <vector>

// The table of ondro-cli's commands: what each takes, its help, and what
// the dispatcher does before it runs.
struct CommandSpec
{
    QString name;
    QString synopsis;   // the arguments after the name, as shown in help
    QString summary;    // one line in the overview
    QString details;    // the command's own help
    QList<std::pair<QString, QString>> positional{}; // name and meaning
    qsizetype optionalPositional = 0; // how many of the last positional ones may be left out
    QList<QCommandLineOption> options{};
    CommandFunction run;
    bool usesDataDir = true; // reads or writes the catalogue in the data folder
    // Checks of the arguments made before the catalogue is loaded; a status
    // other than StatusSuccess ends the command with it.
    CommandFunction check = nullptr;
    // Whether, with these arguments, the command reads the whole catalogue:
    // the dispatcher loads it (a missing one is empty, one that cannot be
    // read ends the command with StatusFailure) and hands it to run.
    bool (*readsCatalogue)(const QStringList &arguments) = nullptr;
    // The command prints entries: its help describes their format.
    bool printsEntries = false;
};

const std::vector<CommandSpec> &commands();
// The commands whose entries live beside them (the table's file is full).
CommandSpec verifyCommand();

QCommandLineOption dataDirOption();
const QString &entryFormatHelp();
const QString &exitStatusHelp();
