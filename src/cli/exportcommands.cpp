#include "cli/clicommands.h"
#include "cli/librarycommands.h"

#include "store/textexport.h"
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

int exportCovers(const ExportJob &job)
{
    return exportCoverPage(job.context, job.folder());
}

int exportDatabase(const ExportJob &job)
{
    return exportDatabaseFile(job.context, job.folder());
}

int exportTunepost(const ExportJob &job)
{
    return exportTunepostLists(job.context, job.folder());
}

struct ExportKind
{
    const char *name;
    const char *writes; // what it writes, for the help
    bool toDesktop;     // default folder: the desktop instead of the exports folder
    ExportFunction run;
};

// Every kind that is built; the help and the error for an unknown kind
// are made from this table.
constexpr ExportKind exportKinds[] = {
    {"text", "\"ondrolist.txt\", the text index", false, exportText},
    {"covers", "\"zembra.html\", the page of cover pictures", false, exportCovers},
    {"database", "\"ondro2000.mdb\", every entry as a database file (an existing one is refused)", false,
     exportDatabase},
    {"tunepost", "\"tunepost-1.m3u\" and on, the upload-site lists of the own tracks", true, exportTunepost},
};

} // namespace

QStringList exportKindNames()
{
    QStringList names;
    for (const ExportKind &kind : exportKinds)
        names << QLatin1String(kind.name);
    return names;
}

QString exportKindsHelp()
{
    QStringList lines;
    for (const ExportKind &kind : exportKinds)
        lines << QStringLiteral("%1: %2, into the %3 folder").arg(QLatin1String(kind.name), QString::fromUtf8(kind.writes),
                                                                  kind.toDesktop ? QStringLiteral("desktop")
                                                                                 : QStringLiteral("exports"));
    return lines.join(QStringLiteral("; "));
}

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
            if (!context.keptWhole(to))
                return StatusFailure;
            const QFileInfo target(to);
            if (to.isEmpty() || !target.isDir()) {
                CliIo::error(QStringLiteral("cannot export into %1: %2")
                                 .arg(QDir::toNativeSeparators(to), target.exists() ? QStringLiteral("it is not a folder")
                                                                                      : QStringLiteral("no such folder")));
                return StatusFailure;
            }
            folder = QDir::cleanPath(QDir::current().absoluteFilePath(to));
        } else if (!CliIo::checkEnvironmentName("HOME", QStringLiteral("--to"))) {
            return StatusFailure;
        }
        return candidate.run({context, folder, candidate.toDesktop});
    }
    CliIo::error(QStringLiteral("export: unknown kind \"%1\"; the kinds are %2")
                     .arg(kind, exportKindNames().join(QStringLiteral(", "))));
    return StatusUsage;
}
