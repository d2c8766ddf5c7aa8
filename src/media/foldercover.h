#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The picture an album's folder holds for its cover: a file named cover,
// folder or front (in any case) with the extension jpg, jpeg or png (in
// any case). When a folder holds several, the name decides before the
// extension: cover before folder before front, and for one name jpg
// before jpeg before png ("folder.jpg" before "front.jpg", "cover.png"
// before "folder.jpg"); names equal but for case go by their bytes.
namespace FolderCover {

// The place of name in that order (0 first), or -1 when it is no folder
// cover; a check of the name alone, cheap enough for every entry a walk
// lists.
int rank(QByteArrayView name);

// True when name is a folder cover that comes before chosen (which may be
// empty: none chosen yet).
bool comesBefore(QByteArrayView name, QByteArrayView chosen);

// The path of the cover picture in folder, by a listing of it; empty when
// it holds none or cannot be listed.
QString find(const QString &folder);

} // namespace FolderCover
