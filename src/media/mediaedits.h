#pragma once

#include "catalogue/rowedits.h"
#include "media/mediaregister.h"

#include <QString>

class RowStore;

// What renaming or removing a medium does: the changes to the catalogue's
// rows (applied by whoever holds them) and to the media register. The
// same in the desktop program and ondro-cli.
namespace MediaEdits {

// The entries of source in rows.
qsizetype entryCount(const RowStore &rows, const QString &source);

// Why to cannot become the ID of the medium from, else empty: from must be
// a medium of rows or of the register, and to must be a new ID, not empty,
// on one line, and not another medium's but for case or blanks (a record
// under to that a rename cut short left, a copy of from's without entries,
// is no other medium: the rename run again finishes).
QString renameRefusal(const MediaRegister &media, const RowStore &rows, const QString &from, const QString &to);

// Every entry of from given the source to.
RowEdits renamedEntries(const RowStore &rows, const QString &from, const QString &to);
// The register's record of from kept under to (nothing when it has none).
void renameRecord(MediaRegister &media, const QString &from, const QString &to);

// Every entry of source removed.
RowEdits removedEntries(const RowStore &rows, const QString &source);

} // namespace MediaEdits
