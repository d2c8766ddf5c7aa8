#pragma once

#include <QString>

// Attaching a cover picture to catalogue entries.
namespace CoverAttach {

// The folder with a closing separator; a root such as "/" keeps its own.
QString folderWithSeparator(const QString &folder);

// The stored cover path of file in folder, with no doubled separator.
QString coverPath(const QString &folder, const QString &file);

} // namespace CoverAttach
