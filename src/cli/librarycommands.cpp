#include "cli/librarycommands.h"

#include "cli/entryoutput.h"
#include "export/coverpage.h"
#include "export/libraryfile.h"
#include "export/tunepostexport.h"

#include <QDir>
#include <QFileInfo>

namespace {

void printPath(const QString &path)
{
    CliIo::out(QDir::toNativeSeparators(path) + QLatin1Char('\n'));
}

// Writes rows into a new database file at path, refusing an existing one.
int writeDatabase(const QString &path, const RowStore &rows, LibraryFile::Content content)
{
    if (LibraryFile::targetTaken(path)) {
        CliIo::error(LibraryFile::existsMessage(path, content));
        return StatusFailure;
    }
    const SaveResult written = LibraryFile::write(path, rows, content);
    if (!written) {
        CliIo::error(LibraryFile::failureMessage(path, content, written.error));
        return StatusFailure;
    }
    printPath(path);
    return StatusSuccess;
}

int libraryCreate(const CliContext &context, const QString &file)
{
    RowStore catalogue;
    if (!CliIo::loadCatalogue(context.catalogueFile(), catalogue))
        return StatusFailure;
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(LibraryFile::withLibraryExtension(file)));
    return writeDatabase(path, catalogue, LibraryFile::Content::Library);
}

int libraryShow(const QString &file, EntryOutput::Format format)
{
    if (!CliIo::checkReadableFile(file))
        return StatusFailure;
    RowStore rows;
    QString reason;
    const bool whole = LibraryFile::load(file, rows, &reason);
    // What was read is printed either way, as the desktop keeps it.
    EntryOutput::Writer writer(format);
    for (qsizetype row = 0; row < rows.size(); ++row)
        writer.add(rows, row);
    writer.finish();
    if (!whole) {
        CliIo::error(QStringLiteral("cannot read the library %1: %2").arg(QDir::toNativeSeparators(file), reason));
        return StatusFailure;
    }
    return StatusSuccess;
}

} // namespace

int runLibrary(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments)
{
    const QString &action = arguments.at(0);
    const QString &file = arguments.at(1);
    if (!context.keptWhole(file))
        return StatusFailure;
    if (file.isEmpty()) {
        // Made absolute, an empty name would name the current folder.
        CliIo::error(QStringLiteral("library: an empty file name was given; name the library file"));
        return StatusUsage;
    }
    if (action == QLatin1String("create"))
        return libraryCreate(context, file);
    if (action == QLatin1String("show"))
        return libraryShow(file, options.isSet(QStringLiteral("json")) ? EntryOutput::Format::Json
                                                                        : EntryOutput::Format::Tabs);
    CliIo::error(QStringLiteral("library: unknown action \"%1\"; the actions are create and show").arg(action));
    return StatusUsage;
}

int exportCoverPage(const CliContext &context, const QString &folder)
{
    RowStore catalogue;
    if (!CliIo::loadCatalogue(context.catalogueFile(), catalogue))
        return StatusFailure;
    const QString path = CoverPage::path(folder);
    const SaveResult saved = CoverPage::save(path, catalogue);
    if (!saved) {
        CliIo::error(saveFailureMessage(path, saved));
        return StatusFailure;
    }
    printPath(path);
    return StatusSuccess;
}

int exportDatabaseFile(const CliContext &context, const QString &folder)
{
    RowStore catalogue;
    if (!CliIo::loadCatalogue(context.catalogueFile(), catalogue))
        return StatusFailure;
    return writeDatabase(LibraryFile::databaseExportPath(folder), catalogue, LibraryFile::Content::Database);
}

int exportTunepostLists(const CliContext &context, const QString &folder)
{
    RowStore catalogue;
    if (!CliIo::loadCatalogue(context.catalogueFile(), catalogue))
        return StatusFailure;
    const TunepostExport::Outcome outcome = TunepostExport::write(folder, catalogue);
    for (const QString &path : outcome.written)
        printPath(path);
    if (!outcome.ok) {
        CliIo::error(TunepostExport::failureMessage(outcome));
        return StatusFailure;
    }
    return StatusSuccess;
}
