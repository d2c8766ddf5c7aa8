#include "export/exportflow.h"

#include "export/coverpage.h"
#include "export/libraryfile.h"
#include "export/tunepostexport.h"
#include "base/platform/systempaths.h"
#include "export/textexport.h"

#include <QDir>

namespace ExportFlow {

namespace {

// A write of one file: the file, or why it is not there.
Outcome savedTo(const QString &path, const SaveResult &saved)
{
    Outcome outcome;
    if (saved) {
        outcome.written << path;
    } else {
        outcome.status = Outcome::Status::Failed;
        outcome.path = path;
        outcome.failure = saved;
    }
    return outcome;
}

Outcome writeText(const QString &path, const RowStore &rows, const Hooks &hooks)
{
    return savedTo(path, TextExport::save(path, rows, hooks.progress, hooks.calls));
}

Outcome writeCovers(const QString &path, const RowStore &rows, const Hooks &hooks)
{
    if (!CoverPage::hasCover(rows)) {
        Outcome outcome;
        outcome.status = Outcome::Status::Empty;
        outcome.path = path;
        return outcome;
    }
    return savedTo(path, CoverPage::save(path, rows, hooks.calls));
}

Outcome writeDatabase(const QString &path, const RowStore &rows, const Hooks &hooks)
{
    return savedTo(path, LibraryFile::write(path, rows, LibraryFile::Content::Database, hooks.progress, hooks.calls));
}

Outcome writeLibrary(const QString &path, const RowStore &rows, const Hooks &hooks)
{
    return savedTo(path, LibraryFile::write(path, rows, LibraryFile::Content::Library, hooks.progress, hooks.calls));
}

Outcome writeLists(const QString &folder, const RowStore &rows, const Hooks &hooks)
{
    const TunepostExport::Outcome lists = TunepostExport::write(folder, rows, hooks.begun, hooks.calls);
    Outcome outcome;
    outcome.written = lists.written;
    if (!lists.ok) {
        outcome.status = Outcome::Status::Failed;
        outcome.path = lists.failedPath;
        outcome.failure = {false, lists.error};
    }
    return outcome;
}

Interchange::Format formatOf(Kind kind)
{
    switch (kind) {
    case Kind::Xspf: return Interchange::Format::Xspf;
    case Kind::Csv: return Interchange::Format::Csv;
    case Kind::Jsonl: return Interchange::Format::Jsonl;
    default: return Interchange::Format::M3u8;
    }
}

// Every row of the store, paths as stored.
template <Kind kind>
Outcome writeInterchangeRows(const QString &path, const RowStore &rows, const Hooks &hooks)
{
    return writeInterchange(kind, streamOf(rows, hooks.progress), path, {}, hooks);
}

LibraryFile::Content contentOf(Kind kind)
{
    return kind == Kind::Library ? LibraryFile::Content::Library : LibraryFile::Content::Database;
}

QString failureMessage(const Outcome &outcome)
{
    switch (outcome.kind) {
    case Kind::Text:
    case Kind::Covers:
    case Kind::M3u8:
    case Kind::Xspf:
    case Kind::Csv:
    case Kind::Jsonl: return saveFailureMessage(outcome.path, outcome.failure);
    case Kind::Database:
    case Kind::Library: return LibraryFile::failureMessage(outcome.path, contentOf(outcome.kind), outcome.failure.error);
    case Kind::Tunepost: return TunepostExport::failureMessage(outcome.path, outcome.failure.error);
    }
    return {};
}

QString doneMessage(const Outcome &outcome)
{
    switch (outcome.kind) {
    case Kind::Text:
    case Kind::Covers: return {};
    case Kind::Database:
    case Kind::Library: return LibraryFile::doneMessage(outcome.written.value(0), contentOf(outcome.kind));
    case Kind::Tunepost: return TunepostExport::completeMessage();
    case Kind::M3u8:
    case Kind::Xspf:
    case Kind::Csv:
    case Kind::Jsonl:
        return QStringLiteral("%1 was exported.").arg(QDir::toNativeSeparators(outcome.written.value(0)));
    }
    return {};
}

} // namespace

const std::vector<KindSpec> &kinds()
{
    static const std::vector<KindSpec> table{
        {Kind::Text, QStringLiteral("text"), TextExport::fileName(), Folder::Exports, false, false, writeText,
         QStringLiteral("the text index")},
        {Kind::Covers, QStringLiteral("covers"), CoverPage::fileName(), Folder::Exports, false, false, writeCovers,
         QStringLiteral("the page of cover pictures")},
        {Kind::Database, QStringLiteral("database"), LibraryFile::databaseExportFileName(), Folder::Exports, false,
         true, writeDatabase,
         QStringLiteral("every entry as a database file (an existing one is refused)")},
        {Kind::Library, QStringLiteral("library"), QString(), Folder::Chosen, false, true, writeLibrary,
         QStringLiteral("the own tracks as a library file")},
        {Kind::Tunepost, QStringLiteral("tunepost"), TunepostExport::fileName(1), Folder::Desktop, true, false,
         writeLists, QStringLiteral("the upload-site lists of the own tracks")},
        {Kind::M3u8, QStringLiteral("m3u8"), QStringLiteral("ondro.m3u8"), Folder::Exports, false, false,
         writeInterchangeRows<Kind::M3u8>, QStringLiteral("a playlist in UTF-8 with #EXTINF lines")},
        {Kind::Xspf, QStringLiteral("xspf"), QStringLiteral("ondro.xspf"), Folder::Exports, false, false,
         writeInterchangeRows<Kind::Xspf>, QStringLiteral("an XSPF playlist")},
        {Kind::Csv, QStringLiteral("csv"), QStringLiteral("ondro.csv"), Folder::Exports, false, false,
         writeInterchangeRows<Kind::Csv>, QStringLiteral("a spreadsheet: a header row, the nine fields and the facts")},
        {Kind::Jsonl, QStringLiteral("jsonl"), QStringLiteral("ondro.jsonl"), Folder::Exports, false, false,
         writeInterchangeRows<Kind::Jsonl>, QStringLiteral("one JSON object per entry and line")},
    };
    return table;
}

const KindSpec &spec(Kind kind)
{
    for (const KindSpec &candidate : kinds()) {
        if (candidate.kind == kind)
            return candidate;
    }
    Q_UNREACHABLE();
}

QString defaultFolder(Kind kind)
{
    switch (spec(kind).folder) {
    case Folder::Exports: return SystemPaths::exportsFolder();
    case Folder::Desktop: return SystemPaths::desktopFolder();
    case Folder::Chosen: break;
    }
    return {};
}

QString targetIn(Kind kind, const QString &folder)
{
    const KindSpec &kindSpec = spec(kind);
    return kindSpec.numbered ? folder : folder + QLatin1Char('/') + kindSpec.fileName;
}

Outcome checkTarget(Kind kind, const QString &target)
{
    Outcome outcome;
    outcome.kind = kind;
    if (spec(kind).refusesExisting && LibraryFile::targetTaken(target)) {
        outcome.status = Outcome::Status::Refused;
        outcome.path = target;
    }
    return outcome;
}

Outcome write(Kind kind, const RowStore &rows, const QString &target, const Hooks &hooks)
{
    Outcome outcome = spec(kind).write(target, rows, hooks);
    outcome.kind = kind;
    return outcome;
}

Outcome run(Kind kind, const RowStore &rows, const QString &target, const Hooks &hooks)
{
    const Outcome checked = checkTarget(kind, target);
    return checked ? write(kind, rows, target, hooks) : checked;
}

Outcome run(Kind kind, const EntryStream &source, const QString &target, const Hooks &hooks)
{
    Q_ASSERT(kind == Kind::Database || kind == Kind::Library);
    const Outcome checked = checkTarget(kind, target);
    if (!checked)
        return checked;
    Outcome outcome = savedTo(target, LibraryFile::write(target, source, contentOf(kind), hooks.calls));
    outcome.kind = kind;
    return outcome;
}

bool isInterchange(Kind kind)
{
    return kind == Kind::M3u8 || kind == Kind::Xspf || kind == Kind::Csv || kind == Kind::Jsonl;
}

Outcome writeInterchange(Kind kind, const EntryStream &source, const QString &target,
                         const Interchange::Options &options, const Hooks &hooks)
{
    Q_ASSERT(isInterchange(kind));
    Outcome outcome = savedTo(target, Interchange::save(target, formatOf(kind), source, options, hooks.calls));
    outcome.kind = kind;
    return outcome;
}

Outcome runInterchange(Kind kind, const EntryStream &source, const QString &target,
                       const Interchange::Options &options, const Hooks &hooks)
{
    const Outcome checked = checkTarget(kind, target);
    return checked ? writeInterchange(kind, source, target, options, hooks) : checked;
}

QString message(const Outcome &outcome)
{
    switch (outcome.status) {
    case Outcome::Status::Written: return doneMessage(outcome);
    case Outcome::Status::Refused: return LibraryFile::existsMessage(outcome.path, contentOf(outcome.kind));
    case Outcome::Status::Failed: return failureMessage(outcome);
    case Outcome::Status::Empty: return QStringLiteral("No entry has a cover image; the page was not written.");
    }
    return {};
}

void report(const Outcome &outcome, Prompter &prompter)
{
    const QString text = message(outcome);
    if (text.isEmpty())
        return;
    switch (outcome.status) {
    case Outcome::Status::Written: prompter.message(text, Prompter::Icon::Information); break;
    case Outcome::Status::Refused: prompter.message(text, Prompter::Icon::Warning); break;
    case Outcome::Status::Failed: prompter.message(text, Prompter::Icon::Critical); break;
    case Outcome::Status::Empty: prompter.message(text, Prompter::Icon::Information); break;
    }
}

} // namespace ExportFlow
