#pragma once

#include "store/rowstore.h"

#include <QByteArray>
#include <QString>

// What every command of ondro-cli shares: the exit statuses, the folder of
// the catalogue, and the plain output helpers.

enum CliStatus : int {
    StatusSuccess = 0,
    StatusNothingFound = 1, // the command ran and found nothing
    StatusUsage = 2,        // bad arguments, or a command not available yet
    StatusFailure = 3,      // a file could not be read or written
};

struct CliContext
{
    QString dataDir; // holds "zembra.lst" and "ondro2k.ini"

    QString catalogueFile() const { return dataDir + QStringLiteral("/zembra.lst"); }
};

namespace CliIo {

// Writes to standard output as is (UTF-8 bytes).
void out(const QByteArray &bytes);
void out(const QString &text);
// One line on standard error, prefixed with the program name.
void error(const QString &message);
// Flushes standard output; false when any write to it failed.
bool finishOutput();

// Reads the catalogue list file. A missing file is an empty catalogue; a
// file that exists and cannot be read gives false and a message naming it,
// so no command ever saves over a catalogue it could not read.
bool loadCatalogue(const QString &path, RowStore &rows);

// True when path is a plain file that can be opened for reading;
// otherwise reports why, naming the file.
bool checkReadableFile(const QString &path);

} // namespace CliIo
