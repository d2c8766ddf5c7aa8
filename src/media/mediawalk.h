#pragma once

#include "media/walkresult.h"
#include "base/workprogress.h"

#include <QString>


// The folder walk of a scan, over the system's directory listing.
namespace MediaWalk {

// Collects every file under root whose name matches pattern ("*.MP3",
// case-insensitive), as bytes: a folder's own files first, then its
// subfolders depth first, names in case-insensitive order. Hidden entries
// and symbolic links to folders are passed over. An entry that vanished or
// a dangling link does not fail its folder; only a folder that cannot be
// opened or read counts as failed. Names that hold a line break (CR or
// LF), and folder names that are not valid UTF-8, cannot be stored so that
// they open again: such a file or folder is listed as skipped (a root whose
// path holds a line break too), as is a matching name that is not a plain
// file (a pipe, a device, a link to one); file names that are not UTF-8
// are found like any other. Folders open relative to their parent, so a
// tree of any depth is walked, and a path longer than the system opens in
// one piece is still found and stored whole: such a file is imported like
// any other (its tags are read now, and this program's readers open it in
// steps later), since the entry says truly what the medium holds even where
// another program cannot open the path. Stops early once a stop is asked for.
ByteWalkResult walkBytes(const QString &root, const QString &pattern, const WalkCallbacks &callbacks = {},
                         const WorkProgress *stop = nullptr);

} // namespace MediaWalk
