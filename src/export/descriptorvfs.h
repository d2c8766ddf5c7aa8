#pragma once

#include "base/atomicsave.h"

#include <QByteArray>

struct sqlite3;

// SQLite's access to a database file that an atomic save opened: the
// temporary file beside the target, which the save itself syncs, renames
// or, on failure, removes. SQLite reads it through the descriptor and
// writes it with the save's system calls (so a failure of the save's
// write is a failure of the database's), takes no lock (no other program
// knows the file) and never opens a second file: a journal would only
// guard a file that is thrown away unless it is written whole.
namespace DescriptorVfs {

struct Target
{
    int fd = -1;                            // open for reading and writing
    QByteArray name;                        // the file's name, for SQLite's own use
    const SaveSystemCalls *calls = nullptr; // empty ones are the system's
    int error = 0;                          // errno of the first call that failed
};

// Opens a connection whose database is target's file; target outlives it.
// Returns SQLITE_OK or the code of the failure (a connection to close may
// be made either way).
int open(Target &target, sqlite3 **db);

} // namespace DescriptorVfs
