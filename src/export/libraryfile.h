#pragma once

#include "export/librarydatabase.h"
#include "base/atomicsave.h"
#include "catalogue/entrystream.h"
#include "catalogue/rowstore.h"
#include "base/workprogress.h"

#include <QString>
#include <functional>

// Library files (".odl") and the database export ("ondro2000.mdb"): both
// are database files with the one table tbl_MP3s. A library holds the own
// tracks without their cover images; the export holds every entry and
// every field.
//
// Files are never overwritten: an existing target is refused. A write puts
// the records into a database in a temporary file beside the target, in
// one transaction, syncs it and renames it at the end without ever
// replacing a file, so a failure or a stop leaves no file behind. Records
// are handed over one at a time and go to the file as they come: the
// memory a write takes does not grow with the catalogue.
namespace LibraryFile {

enum class Content { Library, Database };

// An entry as its nine fields in UTF-8; the views last until the call
// they are handed to returns.
using Fields = std::array<QByteArrayView, TrackFieldCount>;

QString databaseExportFileName(); // "ondro2000.mdb"

// A name typed without ".odl" gets it; one ending in ".odl" in any letter
// case is left alone.
QString withLibraryExtension(const QString &name);

// A new file holding the empty table. Refuses a path where a file is.
SaveResult createEmpty(const QString &path);

// Writes the entries of source into a new file at path (see Content);
// their extension lines are not used, and false from the stream fails it.
// calls replaces the system calls of the write, for tests. A stop, by the
// source or by progress, fails with "writing was stopped".
SaveResult write(const QString &path, const EntryStream &source, Content content, const SaveSystemCalls &calls = {});
// The same with rows as the source, a step of progress after each row.
SaveResult write(const QString &path, const RowStore &rows, Content content, WorkProgress *progress = nullptr,
                 const SaveSystemCalls &calls = {});

// Appends every record of the library at path to rows as library tracks,
// in the file's order, duplicates and all. False when anything failed: the
// records read before stay, the one being read keeps the fields read so
// far, and reason (when given) says what went wrong. Reading stops at the
// limits a file of its size warrants, or at the limits given.
bool load(const QString &path, RowStore &rows, QString *reason = nullptr,
          std::optional<LibraryDatabase::ReadLimits> limits = {});
// The same, handing each record to take as it is read instead of keeping
// it (the one that failed with the fields read so far).
bool visit(const QString &path, const std::function<void(const Fields &fields)> &take, QString *reason = nullptr,
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
