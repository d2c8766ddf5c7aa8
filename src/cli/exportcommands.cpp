#include "cli/clicommands.h"

#include "export/textexport.h"
#include "store/platform/systempaths.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Where one export writes. Each kind is one function that writes its
// files into the job's folder and prints each path written.
struct ExportJob
{
    const CliContext &context;
    QString chosenFolder; // --to DIR, or empty
    bool toDesktop;       // the kind's default folder is the desktop

    // The default folders are created on first use, so only call this when
    // the export will be written.
    QString folder() const
    {
        if (!chosenFolder.isEmpty())
            return chosenFolder;
        return toDesktop ? SystemPaths::desktopFolder() : SystemPaths::exportsFolder();
    }
};

using ExportFunction = int (*)(const ExportJob &job);

int notAvailable(const QString &what)
{
    CliIo::error(QStringLiteral("%1 is not available yet").arg(what));
    return StatusUsage;
}

int exportText(const ExportJob &job)
{
    RowStore catalogue;
    if (!CliIo::loadCatalogue(job.context.catalogueFile(), catalogue))
        return StatusFailure;
    const QString path = TextExport::path(job.folder());
    const SaveResult saved = TextExport::save(path, catalogue);
    if (!saved) {
        CliIo::error(saveFailureMessage(path, saved));
        return StatusFailure;
    }
    CliIo::out(QDir::toNativeSeparators(path) + QLatin1Char('\n'));
    return StatusSuccess;
}

int exportCovers(const ExportJob &)
{
    return notAvailable(QStringLiteral("export covers"));
}

int exportDatabase(const ExportJob &)
{
    return notAvailable(QStringLiteral("export database"));
}

int exportTunepost(const ExportJob &)
{
    return notAvailable(QStringLiteral("export tunepost"));
}

struct ExportKind
{
    const char *name;
    bool toDesktop; // default folder: the desktop instead of the exports folder
    ExportFunction run;
};

constexpr ExportKind exportKinds[] = {
    {"text", false, exportText},
    {"covers", false, exportCovers},
    {"database", false, exportDatabase},
    {"tunepost", true, exportTunepost},
};

int libraryCreate(const CliContext &, const QString &)
{
    return notAvailable(QStringLiteral("library create"));
}

int libraryShow(const CliContext &, const QString &, bool)
{
    return notAvailable(QStringLiteral("library show"));
}

} // namespace

int runExport(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments)
{
    const QString &kind = arguments.at(0);
    for (const ExportKind &candidate : exportKinds) {
        if (kind != QLatin1String(candidate.name))
            continue;
        // --to must name a folder that is there, so that a typing error does
        // not silently create a new one.
        QString folder;
        if (options.isSet(QStringLiteral("to"))) {
            const QString to = options.value(QStringLiteral("to"));
            if (to.isEmpty() || !QFileInfo(to).isDir()) {
                CliIo::error(QStringLiteral("cannot export into %1: no such folder").arg(QDir::toNativeSeparators(to)));
                return StatusFailure;
            }
            folder = QDir::cleanPath(QDir::current().absoluteFilePath(to));
        }
        return candidate.run({context, folder, candidate.toDesktop});
    }
    CliIo::error(QStringLiteral("export: unknown kind \"%1\"; the kinds are text, covers, database, tunepost").arg(kind));
    return StatusUsage;
}

int runLibrary(const CliContext &context, const QCommandLineParser &options, const QStringList &arguments)
{
    const QString &action = arguments.at(0);
    if (action == QLatin1String("create"))
        return libraryCreate(context, arguments.at(1));
    if (action == QLatin1String("show"))
        return libraryShow(context, arguments.at(1), options.isSet(QStringLiteral("json")));
    CliIo::error(QStringLiteral("library: unknown action \"%1\"; the actions are create and show").arg(action));
    return StatusUsage;
}
