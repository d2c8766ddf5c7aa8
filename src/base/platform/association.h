#pragma once

#include <QString>

class Platform;
class Prompter;

// Which program opens library files, and making this program that one.
// On this desktop a file type is a MIME type with a glob in the user's
// MIME database, and its opener is a desktop file set as the type's
// default application.
namespace Association {

QString notDetected(); // "Not Detected": no program is associated

// The program associated with files ending in "." + extension: the path of
// its desktop file, or "Not Detected".
QString findAssociatedProgram(const QString &extension);

// Registers programPath as the opener of the extension; does nothing when
// either is empty. The type is called "MyApp Document" and its desktop
// file "MyApp.Document.desktop", and the program gets the file's path as
// its one argument.
void makeAssociation(const QString &extension, const QString &programPath);

// The program path the association names: "ondro" beside the running one.
QString ownProgramPath();

// At the end of start-up: when no program opens ".odl" files, says so once
// and registers this program.
void checkDefaultReader(Platform &platform, Prompter &prompter);

} // namespace Association
