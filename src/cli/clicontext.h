#pragma once

#include "store/cataloguelistfile.h"
#include "store/rowstore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

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
    // Arguments whose bytes are not valid UTF-8, as Qt decoded them (with
    // replacement characters): a file name taken from one of them would
    // name another file.
    QStringList lossyArguments;
    bool dataDirGiven = false; // --data-dir before the command
    QString dataDirArgument;   // its value as given

    QString catalogueFile() const { return dataDir + QStringLiteral("/zembra.lst"); }

    // False when value came from an argument that could not be decoded
    // whole; reports it, naming the argument.
    bool keptWhole(const QString &value) const;
};

namespace CliIo {

// Writes to standard output as is (UTF-8 bytes).
void out(const QByteArray &bytes);
void out(const QString &text);
// One line on standard error, prefixed with the program name.
void error(const QString &message);
// Flushes standard output; false when any write to it failed.
bool finishOutput();

// Tells that standard output failed after the command had done its work
// and said so itself, so the program does not report it a second time.
void outputFailureHandled();
bool isOutputFailureHandled();
// The system's reason for the last failed write to standard output.
QString outputError();

// How a damaged catalogue (whole entries followed by damage) is taken.
enum class Damaged { Warn, Refuse };

// Reads the catalogue list file. A missing file is an empty catalogue; a
// file that exists and cannot be read gives false and a message naming it,
// so no command ever saves over a catalogue it could not read. A damaged
// file is reported on standard error; with Damaged::Refuse it gives false.
// exists, when given, tells whether there was a file at all.
bool loadCatalogue(const QString &path, RowStore &rows, Damaged damaged = Damaged::Warn, bool *exists = nullptr);

// Reports a read of the catalogue at path that was not whole, as
// loadCatalogue does; false when the catalogue may not be used.
bool reportRead(const QString &path, const CatalogueListFile::ReadResult &read, Damaged damaged = Damaged::Warn);

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
