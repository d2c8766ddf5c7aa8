#pragma once

#include "cli/clicontext.h"

#include <QCommandLineParser>
#include <QStringList>

// ondro-cli's library command and the exports built on the library,
// cover page and upload-site code. Each prints every path it wrote and
// returns the exit status; a failure names the file and the reason.

// "library create FILE" and "library show FILE [--json]".
int runLibrary(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments);

// Each writes the catalogue of context into folder.
int exportCoverPage(const CliContext &context, const QString &folder);
int exportDatabaseFile(const CliContext &context, const QString &folder);
int exportTunepostLists(const CliContext &context, const QString &folder);
