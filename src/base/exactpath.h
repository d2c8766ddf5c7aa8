#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A file's path as its exact bytes, which need not be UTF-8 (a Latin-1 name
// on an old FAT stick), and the forms it takes on its way out of the
// program. How an entry comes to these bytes is catalogue/entrypath.
namespace EntryPath {

// What a program that opens documents is handed for the exact path: the
// path itself when it is UTF-8, else a file:// address with the bytes
// escaped, which the desktop's opener turns back into those bytes.
QString openable(const QByteArray &exactPath);
// The exact path of a file:// address made by openable(), or the bytes of
// a plain path.
QByteArray fromOpenable(const QString &pathOrAddress);

// The size of the plain file (or link to one) at the exact path; nothing
// when none stands there.
std::optional<qint64> fileSize(const QByteArray &exactPath);

} // namespace EntryPath
