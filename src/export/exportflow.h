#pragma once

#include "export/interchange.h"
#include "export/libraryfile.h"
#include "base/atomicsave.h"
#include "base/platform/prompter.h"
#include "catalogue/rowstore.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Every export the program writes from the catalogue, in one table, and the
// one way each is written: an existing target is refused where the kind
// never replaces a file, the files are written atomically, and the outcome
// says what became of them. The windows and ondro-cli only present it.
namespace ExportFlow {

enum class Kind { Text, Covers, Database, Library, Tunepost, M3u8, Xspf, Csv, Jsonl };

// Where a kind writes unless told otherwise; a library goes where the user
// names it.
enum class Folder { Exports, Desktop, Chosen };

// What a write reports as it goes; any of them may be empty.
struct Hooks
{
    // Told of each row written; a stop ends the write (kinds that can stop).
    WorkProgress *progress = nullptr;
    // As each file of numbered lists is begun.
    std::function<void(const QString &path)> begun;
    SaveSystemCalls calls; // replaces the system calls of the write, for tests
};

struct Outcome
{
    // Empty: nothing to write (a cover page without a cover); no file made.
    enum class Status { Written, Refused, Failed, Empty };
    Kind kind = Kind::Text;
    Status status = Status::Written;
    QStringList written; // full paths, in the order written
    QString path;        // the file refused, or the one that could not be written
    SaveResult failure;  // why it could not be written

    explicit operator bool() const { return status == Status::Written; }
};

// Writes rows to target (see KindSpec::numbered); fills in all but kind.
using Writer = Outcome (*)(const QString &target, const RowStore &rows, const Hooks &hooks);

struct KindSpec
{
    Kind kind;
    QString name;         // as ondro-cli names it
    QString fileName;     // the file written; of numbered lists the first; empty when the user names it
    Folder folder;        // where it goes by default
    bool numbered;        // the target is a folder that gets numbered files
    bool refusesExisting; // an existing target is refused, never replaced
    Writer write;
    QString writes;       // what it holds, for ondro-cli's help (after its file name)
};

const std::vector<KindSpec> &kinds();
const KindSpec &spec(Kind kind);

// The kind's default folder; it is created on first use, so only ask when
// the export will be written. Empty for Folder::Chosen.
QString defaultFolder(Kind kind);
// What the kind writes in folder: its file there, or for numbered lists
// the folder itself.
QString targetIn(Kind kind, const QString &folder);

// The refusal of an existing target, or a Written outcome with nothing
// written yet when the write may go ahead. Looks without opening, so it
// never blocks.
Outcome checkTarget(Kind kind, const QString &target);
// Writes without the check (a writer that never replaces a file still
// fails on one that appeared meanwhile).
Outcome write(Kind kind, const RowStore &rows, const QString &target, const Hooks &hooks = {});
// The whole flow: checkTarget, then write.
Outcome run(Kind kind, const RowStore &rows, const QString &target, const Hooks &hooks = {});
// The whole flow for the kinds that write a database (Database, Library)
// from entries handed over one at a time, with no catalogue in memory.
// Only hooks.calls is used.
Outcome run(Kind kind, const EntryStream &source, const QString &target, const Hooks &hooks = {});

// Whether kind is one of the interchange exports (m3u8, XSPF, CSV, JSON
// Lines), which can take some entries of a store or entries streamed.
bool isInterchange(Kind kind);
// The whole flow for an interchange kind from entries handed over one at
// a time (a stop by the source or through hooks.progress fails the write).
Outcome runInterchange(Kind kind, const EntryStream &source, const QString &target,
                       const Interchange::Options &options = {}, const Hooks &hooks = {});
// The same without the check.
Outcome writeInterchange(Kind kind, const EntryStream &source, const QString &target,
                         const Interchange::Options &options = {}, const Hooks &hooks = {});

// What the user is told: the refusal, the failure and its reason, or that
// the export was written (empty for kinds that say nothing then).
QString message(const Outcome &outcome);
// The message box of a window for the outcome: a refusal warns, a failure
// is critical; nothing when there is no message.
void report(const Outcome &outcome, Prompter &prompter);

} // namespace ExportFlow
