#pragma once

#include "cli/clicommands.h"

#include <QStringList>

// ondro-cli's library command: "library create FILE" writes the own tracks
// of the catalogue into a new library file, "library show FILE [--json]"
// prints one.

// The checks of the arguments, made before the catalogue is loaded.
int checkLibrary(const CommandCall &call);
// Only create reads the catalogue.
bool libraryReadsCatalogue(const QStringList &arguments);
int runLibrary(const CommandCall &call);
