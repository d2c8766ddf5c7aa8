#pragma once

#include "export/librarydatabase.h"
#include "store/atomicsave.h"
#include "store/rowstore.h"

#include <QString>
#include <functional>

// Library files (".odl") and the database export ("ondro2000.mdb"): both
// are database files with the one table tbl_MP3s. A library holds the own
// tracks without their cover images; the export holds every entry and
// every field.
//
// Files are never overwritten: an existing target is refused. A write goes
// to a temporary file beside the target, renamed at the end without ever
// replacing a file, so a failure leaves no file behind.
namespace LibraryFile {

enum class Content { Library, Database };

// Called after row i (1-based) of n; returning false stops the write.
using Progress = std::function<bool(qsizetype i, qsizetype n)>;

QString databaseExportFileName(); // "ondro2000.mdb"

// A name typed without ".odl" gets it; one ending in ".odl" in any letter
// case is left alone.
QString withLibraryExtension(const QString &name);

// A new file holding the empty table. Refuses a path where a file is.
SaveResult createEmpty(const QString &path);

// Writes rows into a new file at path (see Content).
// calls replaces the system calls of the write, for tests.
SaveResult write(const QString &path, const RowStore &rows, Content content, const Progress &progress = {},
                 const SaveSystemCalls &calls = {});

// Appends every record of the library at path to rows as library tracks,
// in the file's order, duplicates and all. False when anything failed: the
// records read before stay, the one being read keeps the fields read so
// far, and reason (when given) says what went wrong. Reading stops at the
// limits a file of its size warrants, or at the limits given.
bool load(const QString &path, RowStore &rows, QString *reason = nullptr,
          std::optional<LibraryDatabase::ReadLimits> limits = {});

// True when anything is at path, a dangling link included. Looks without
// opening, so a named pipe there cannot block the caller.
bool targetTaken(const QString &path);

// The messages of both flows.
QString existsMessage(const QString &path, Content content);
QString doneMessage(const QString &path, Content content);
QString failureMessage(const QString &path, Content content, const QString &reason);
QString loadedMessage();       // "Library loaded"
QString loadProblemMessage();  // records may be missing

} // namespace LibraryFile
