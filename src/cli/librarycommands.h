#pragma once

#include "cli/clicommands.h"

#include <QStringList>

// ondro-cli's library command: "library create FILE" writes the own tracks
// of the catalogue into a new library file, "library show FILE [--json]"
// prints one. Both, and the database export, stream: the catalogue or the
// library is read record by record and never held whole.

// The checks of the arguments.
int checkLibrary(const CommandCall &call);
int runLibrary(const CommandCall &call);

// The export command: the database export is written from the catalogue
// as it is read, like a library; the other kinds are written by runExport
// from the catalogue the dispatcher loads for them.
bool exportReadsCatalogue(const QStringList &arguments);
int runExportCommand(const CommandCall &call);
