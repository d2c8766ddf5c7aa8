#pragma once

#include "cli/clioutput.h"

#include <QString>
#include <QStringList>
#include <functional>

// What every command of ondro-cli shares: the exit statuses, the folder of
// the catalogue, and the checks of names and folders given to it. Writing
// output is in clioutput.h, reading the catalogue in clicatalogue.h.

enum CliStatus : int {
    StatusSuccess = 0,
    StatusNothingFound = 1, // the command ran and found nothing
    StatusUsage = 2,        // bad arguments, or a command not available yet
    StatusFailure = 3,      // a file could not be read or written
};

struct CliContext
{
    QString dataDir; // holds "zembra.lst" and "ondro2k.ini"
    // Arguments whose bytes are not valid UTF-8, as Qt decoded them (with
    // replacement characters): a file name taken from one of them would
    // name another file.
    QStringList lossyArguments;
    QList<QByteArray> lossyBytes; // the same arguments' bytes as given
    bool dataDirGiven = false; // --data-dir before the command
    QString dataDirArgument;   // its value as given
    // Called between the two passes of a command that reads the list file
    // twice (query, stats and export with a query about duplicates or
    // media; duplicates): tests put a writer there.
    std::function<void()> betweenPasses;

    QString catalogueFile() const { return dataDir + QStringLiteral("/zembra.lst"); }

    // False when value came from an argument that could not be decoded
    // whole; reports it, naming the argument.
    bool keptWhole(const QString &value) const;
    // False when the query came from an argument that is not valid UTF-8;
    // reports the first byte that is not ("the query is not valid UTF-8
    // at byte 7"), counted from the query's start.
    bool queryIsUtf8(const QString &expression) const;
};

namespace CliIo {

// True when path is a plain file that can be opened for reading; otherwise
// reports why, naming the file. Never blocks: a named pipe or a device is
// refused without being read.
bool checkReadableFile(const QString &path);

// True when dir can be the data folder: a folder, or nothing yet (it is
// made by the first save); otherwise reports why.
bool checkDataDir(const QString &dir);

// True when the environment variable is unset or its bytes are valid
// UTF-8; otherwise reports that the folder it names cannot be used and
// that option ("--data-dir", "--to") names one instead.
bool checkEnvironmentName(const char *variable, const QString &option);

} // namespace CliIo
