#pragma once

#include "cli/clicontext.h"
#include "export/exportflow.h"
#include "catalogue/rowedits.h"
#include "catalogue/rowstore.h"
#include "media/mediaregister.h"

#include <QCommandLineParser>
#include <QStringList>

// The commands of ondro-cli. Each gets the parsed command line (options
// looked up by name), its positional arguments, already counted, and the
// catalogue when its entry in the command table asks for it, and returns
// the exit status.
struct CommandCall
{
    const CliContext &context;
    const QCommandLineParser &options;
    const QStringList &arguments;
    const RowStore &catalogue; // loaded by the dispatcher, or empty
};
using CommandFunction = int (*)(const CommandCall &call);

int runScan(const CommandCall &call);
int runList(const CommandCall &call);
int runFind(const CommandCall &call);
int runHeader(const CommandCall &call);
int runTag(const CommandCall &call);
int runExport(const CommandCall &call);
int runMedia(const CommandCall &call);
// The checks of media's arguments: the action and what it needs.
int checkMedia(const CommandCall &call);
// media rename OLD NEW and media remove ID [--yes].
int runMediaRename(const CommandCall &call);
int runMediaRemove(const CommandCall &call);
int runRescan(const CommandCall &call);
int runVerify(const CommandCall &call);
// Saves a change to the catalogue's rows (edits) and to the register
// (read: as it was read, media: as changed) with the catalogue lock held:
// the register with what it gained, the list file, then the register as
// changed. False after a message naming what (such as "CD02 removed") was
// saved and what not.
bool saveBoth(const CommandCall &call, RowStore &catalogue, RowEdits edits, const MediaRegister &read,
              const MediaRegister &media, const QString &what);
// Rescans source with the catalogue lock held (PATH, when the command has
// one, is where); applyAtOnce applies what it finds without asking, as
// --yes does.
int rescanLocked(const CommandCall &call, const QString &source, bool applyAtOnce);
int runDuplicates(const CommandCall &call);
// The check of duplicates' --kind.
int checkDuplicates(const CommandCall &call);
int runStats(const CommandCall &call);
// The check of stats' --by.
int checkStats(const CommandCall &call);
int runQuery(const CommandCall &call);
// The check that query is given at most one of --json and --csv.
int checkQuery(const CommandCall &call);
int runQueries(const CommandCall &call);
// The checks of queries' action and arguments (a query to save must parse).
int checkQueries(const CommandCall &call);

// The checks of export's arguments, made before the catalogue is loaded.
int checkExport(const CommandCall &call);

// An interchange export (m3u8, xspf, csv, jsonl) into target, streamed
// from the catalogue file (with --query, its matches only).
int runInterchangeExport(const CommandCall &call, const QString &target);

// Shows an export's outcome: each path written on standard output, then a
// refusal or failure (naming the file and the reason) on standard error;
// returns the exit status.
int presentExport(const ExportFlow::Outcome &outcome);

// The export kinds that are built, and one line of help describing them.
QStringList exportKindNames();
QString exportKindsHelp();

// The whole program: parses arguments (arguments[0] is the program) and
// runs the command they name. rawArguments are the same arguments as the
// bytes the program was given, to tell names that did not decode whole.
int runCli(const QStringList &arguments, const QList<QByteArray> &rawArguments = {});
