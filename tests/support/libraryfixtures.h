#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// SQLite files for library tests, made as other programs would make them,
// and the checks that reading one left it and its folder as they were.

// Runs SQL on a database file opened read-write (created when missing);
// records a test failure and returns false when it fails.
bool runSql(const QString &path, const QByteArray &sql);

// Every row of a query as "a|b|<null>" texts, or one "<error ...>" row.
QStringList queryRows(const QString &path, const char *sql);

// A library of count records in one transaction: record i has the file
// name "/lib/<i>.mp3" and "v<i>" in every other field but coverimage, the
// artist padded to valueBytes when that is larger.
bool writeLibraryRows(const QString &path, qsizetype count, qsizetype valueBytes = 0);

// Replaces the statement that makes tbl_MP3s by createTable through
// writable_schema, leaving the records as they are: the schema a file
// edited by hand can carry.
bool rewriteTableSchema(const QString &path, const QByteArray &createTable);

// Every entry of a folder with its type, size and modification time to
// the nanosecond, for "nothing was changed or made" checks.
QStringList folderState(const QString &dir);

// Peak resident memory of this process since the last reset, above the
// resident memory at that reset (the kernel's VmHWM, reset through
// /proc/self/clear_refs).
namespace PeakMemory {
void reset();
qint64 growthBytes();
} // namespace PeakMemory
