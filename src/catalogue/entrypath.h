#pragma once

#include "base/exactpath.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Where an entry's file is, as the bytes to open. A file whose name is not
// UTF-8 (Latin-1 on an old FAT stick) is stored with its name decoded in
// the medium's code page, so the Filename field is readable but opens
// nothing; the name's exact bytes are kept as raw= on its extension line.
// Every opener (play, playlists, burn copies, exports of paths, the
// online check of a medium, rescan) goes through here.
namespace EntryPath {

// The extension line's key of the name's exact bytes.
inline constexpr char RawNameKey[] = "raw";

// The name's exact bytes from the line; empty when the name is UTF-8.
QByteArray rawName(QByteArrayView extensionLine);

// The path's bytes, its last part replaced by rawName when that is not
// empty (the name's exact bytes, as raw= holds them).
QByteArray withRawName(QByteArrayView pathUtf8, QByteArrayView rawName);
// The path's bytes, its last part replaced by raw= when the line has it.
QByteArray exactPath(QByteArrayView pathUtf8, QByteArrayView extensionLine);
// The same for a path as the program holds it (after it followed its
// medium to where it is mounted now).
QByteArray openPath(const QString &path, QByteArrayView extensionLine);

} // namespace EntryPath
