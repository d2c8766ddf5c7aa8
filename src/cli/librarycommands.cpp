#include "cli/librarycommands.h"

#include "cli/entryoutput.h"
#include "export/exportflow.h"
#include "export/libraryfile.h"

#include <QDir>

namespace {

bool isCreate(const QStringList &arguments)
{
    return arguments.at(0) == QLatin1String("create");
}

int libraryCreate(const QString &file, const RowStore &catalogue)
{
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(LibraryFile::withLibraryExtension(file)));
    return presentExport(ExportFlow::run(ExportFlow::Kind::Library, catalogue, path));
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

bool libraryReadsCatalogue(const QStringList &arguments)
{
    return isCreate(arguments);
}

int runLibrary(const CommandCall &call)
{
    const QString &file = call.arguments.at(1);
    if (isCreate(call.arguments))
        return libraryCreate(file, call.catalogue);
    return libraryShow(file, call.options.isSet(QStringLiteral("json")) ? EntryOutput::Format::Json
                                                                         : EntryOutput::Format::Tabs);
}
