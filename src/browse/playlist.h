#pragma once

#include "base/atomicsave.h"
#include "catalogue/rowstore.h"

#include <QByteArray>
#include <QString>

// The temporary playlist made from the mark bin: one stored path per bin
// row (the exact bytes of a name that is not UTF-8, see EntryPath), in bin
// order, each line ended by CR LF; nothing else. A line break
// inside a path is written as a blank, so no value adds lines of its own.
namespace Playlist {

// "ondrotemp.m3u" in the exports folder.
QString path();

QByteArray bytes(const RowStore &bin);

// Replaces the file at path whole (an empty bin gives 0 bytes); a failure
// leaves the previous file as it was.
SaveResult write(const QString &path, const RowStore &bin, const SaveSystemCalls &calls = {});

// The message a user sees when the playlist cannot be written.
QString failureMessage(const QString &path, const SaveResult &result);

} // namespace Playlist
