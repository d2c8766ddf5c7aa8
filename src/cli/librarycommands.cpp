#include "cli/librarycommands.h"

#include "cli/clicatalogue.h"
#include "export/entryformat.h"
#include "export/exportflow.h"
#include "export/libraryfile.h"

#include <QDir>

namespace {

bool isCreate(const QStringList &arguments)
{
    return arguments.at(0) == QLatin1String("create");
}

// Writes a library or the database export at target from the catalogue as
// it is read, so that no catalogue is held: a catalogue that cannot be
// read leaves no file and is reported as the other commands report it,
// and a damaged one is warned of before the outcome is shown.
int writeFromCatalogue(const CliContext &context, ExportFlow::Kind kind, const QString &target)
{
    const QString file = context.catalogueFile();
    CatalogueListFile::ReadResult read;
    const ExportFlow::Outcome outcome = ExportFlow::run(kind, CatalogueListFile::stream(file, read), target);
    if (!CliIo::reportRead(file, read))
        return StatusFailure;
    return presentExport(outcome);
}

int libraryShow(const QString &file, EntryFormat::Format format)
{
    if (!CliIo::checkReadableFile(file))
        return StatusFailure;
    // Each track is printed as it is read; what was read is printed either
    // way, as the desktop keeps it.
    EntryFormat::Options fieldsOnly;
    fieldsOnly.facts = false;
    EntryFormat::Writer writer(format, CliIo::outBlock, std::move(fieldsOnly));
    QString reason;
    const bool whole = LibraryFile::visit(
        file, [&writer](const LibraryFile::Fields &fields) { writer.add({fields, {}, EntryOrigin::Library}); }, &reason);
    writer.finish();
    if (!whole) {
        CliIo::error(QStringLiteral("cannot read the library %1: %2").arg(QDir::toNativeSeparators(file), reason));
        return StatusFailure;
    }
    return StatusSuccess;
}

} // namespace

int checkLibrary(const CommandCall &call)
{
    const QString &action = call.arguments.at(0);
    const QString &file = call.arguments.at(1);
    if (!call.context.keptWhole(file))
        return StatusFailure;
    if (file.isEmpty()) {
        // Made absolute, an empty name would name the current folder.
        CliIo::error(QStringLiteral("library: an empty file name was given; name the library file"));
        return StatusUsage;
    }
    if (isCreate(call.arguments) || action == QLatin1String("show"))
        return StatusSuccess;
    CliIo::error(QStringLiteral("library: unknown action \"%1\"; the actions are create and show").arg(action));
    return StatusUsage;
}

int runLibrary(const CommandCall &call)
{
    const QString &file = call.arguments.at(1);
    if (isCreate(call.arguments)) {
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(LibraryFile::withLibraryExtension(file)));
        return writeFromCatalogue(call.context, ExportFlow::Kind::Library, path);
    }
    return libraryShow(file, call.options.isSet(QStringLiteral("json")) ? EntryFormat::Format::Json
                                                                         : EntryFormat::Format::Tabs);
}

const ExportFlow::KindSpec *kindNamed(const QString &name)
{
    for (const ExportFlow::KindSpec &kind : ExportFlow::kinds()) {
        if (kind.name == name)
            return &kind;
    }
    return nullptr;
}

// The database export and the interchange kinds stream the catalogue.
bool isStreamedExport(const QStringList &arguments)
{
    const ExportFlow::KindSpec *kind = kindNamed(arguments.at(0));
    return kind && (kind->kind == ExportFlow::Kind::Database || ExportFlow::isInterchange(kind->kind));
}

bool exportReadsCatalogue(const QStringList &arguments)
{
    return !isStreamedExport(arguments);
}

int runExportCommand(const CommandCall &call)
{
    if (!isStreamedExport(call.arguments))
        return runExport(call);
    const ExportFlow::Kind kind = kindNamed(call.arguments.at(0))->kind;
    const QString toOption = QStringLiteral("to");
    // The default folder is created on first use: asked for only now.
    const QString folder = call.options.isSet(toOption)
                               ? QDir::cleanPath(QDir::current().absoluteFilePath(call.options.value(toOption)))
                               : ExportFlow::defaultFolder(kind);
    const QString target = ExportFlow::targetIn(kind, folder);
    return kind == ExportFlow::Kind::Database ? writeFromCatalogue(call.context, kind, target)
                                              : runInterchangeExport(call, target);
}
