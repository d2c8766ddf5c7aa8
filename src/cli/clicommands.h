#pragma once

#include "cli/clicontext.h"

#include <QCommandLineParser>
#include <QStringList>

// The commands of ondro-cli. Each gets the parsed command line (options
// looked up by name) and its positional arguments, already counted, and
// returns the exit status.
using CommandFunction = int (*)(const CliContext &context, const QCommandLineParser &options,
                                const QStringList &arguments);

int runScan(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments);
int runList(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments);
int runFind(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments);
int runHeader(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments);
int runTag(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments);
int runExport(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments);

// The export kinds that are built, and one line of help describing them.
QStringList exportKindNames();
QString exportKindsHelp();

// The whole program: parses arguments (arguments[0] is the program) and
// runs the command they name. rawArguments are the same arguments as the
// bytes the program was given, to tell names that did not decode whole.
int runCli(const QStringList &arguments, const QList<QByteArray> &rawArguments = {});
