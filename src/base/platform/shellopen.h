#pragma once

#include <QString>

// Opening a document with the program the desktop associates with it.
// Decides first (a missing file gives 2, a type without a program 31),
// then hands the document to xdg-open and gives 42.
namespace ShellOpen {

int open(const QString &pathOrAddress);

// The desktop file id of the program that opens files of this MIME type
// or one of its parents, or empty when there is none installed.
QString defaultApplicationFor(const QString &mimeType);

} // namespace ShellOpen
