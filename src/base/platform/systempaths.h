#pragma once

#include <QString>

// Where the program keeps its files, and the small path and text helpers
// the commands share. Folders come without a trailing separator.
namespace SystemPaths {

// The per-user data folder holding the settings and the catalogue list.
QString windowsDirectory();
// The folder of exports ("ondrolist.txt" and the others); created on use.
QString exportsFolder();
// The same folder, not created: for looking into it.
QString exportsFolderPath();
// The user's desktop folder; created on use.
QString desktopFolder();
// The folder of the running program file.
QString programFolder();

// True when path names a file that can be opened for reading (a folder
// gives false).
bool fileExists(const QString &path);

// The text after the last separator ("/" or the native one); the whole
// text when there is none; empty when the path ends in a separator.
QString fileNameOf(const QString &path);

// Upper case with every "_" turned into a blank: the form paths are
// searched in.
QString searchText(const QString &text);

} // namespace SystemPaths
