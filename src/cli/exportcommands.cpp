#include "cli/clicommands.h"

#include "export/exportflow.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The kinds ondro-cli's export writes: those with a file name of their own
// (a library is named by the user, through "library create").
QList<const ExportFlow::KindSpec *> exportKinds()
{
    QList<const ExportFlow::KindSpec *> kinds;
    for (const ExportFlow::KindSpec &kind : ExportFlow::kinds()) {
        if (kind.folder != ExportFlow::Folder::Chosen)
            kinds << &kind;
    }
    return kinds;
}

const ExportFlow::KindSpec *exportKind(const QString &name)
{
    for (const ExportFlow::KindSpec *kind : exportKinds()) {
        if (kind->name == name)
            return kind;
    }
    return nullptr;
}

// --to must name a folder that is there, so that a typing error does not
// silently create a new one.
bool checkChosenFolder(const CliContext &context, const QString &to)
{
    if (!context.keptWhole(to))
        return false;
    const QFileInfo target(to);
    if (to.isEmpty() || !target.isDir()) {
        CliIo::error(QStringLiteral("cannot export into %1: %2")
                         .arg(QDir::toNativeSeparators(to), target.exists() ? QStringLiteral("it is not a folder")
                                                                              : QStringLiteral("no such folder")));
        return false;
    }
    return true;
}

} // namespace

QStringList exportKindNames()
{
    QStringList names;
    for (const ExportFlow::KindSpec *kind : exportKinds())
        names << kind->name;
    return names;
}

QString exportKindsHelp()
{
    QStringList lines;
    for (const ExportFlow::KindSpec *kind : exportKinds()) {
        const QString writes = (kind->numbered ? QStringLiteral("\"%1\" and on, %2") : QStringLiteral("\"%1\", %2"))
                                   .arg(kind->fileName, kind->writes);
        lines << QStringLiteral("%1: %2, into the %3 folder")
                     .arg(kind->name, writes,
                          kind->folder == ExportFlow::Folder::Desktop ? QStringLiteral("desktop")
                                                                      : QStringLiteral("exports"));
    }
    return lines.join(QStringLiteral("; "));
}

int checkExport(const CommandCall &call)
{
    const QString &kind = call.arguments.at(0);
    if (!exportKind(kind)) {
        CliIo::error(QStringLiteral("export: unknown kind \"%1\"; the kinds are %2")
                         .arg(kind, exportKindNames().join(QStringLiteral(", "))));
        return StatusUsage;
    }
    const QString toOption = QStringLiteral("to");
    if (call.options.isSet(toOption))
        return checkChosenFolder(call.context, call.options.value(toOption)) ? StatusSuccess : StatusFailure;
    return CliIo::checkEnvironmentName("HOME", QStringLiteral("--to")) ? StatusSuccess : StatusFailure;
}

int runExport(const CommandCall &call)
{
    const ExportFlow::Kind kind = exportKind(call.arguments.at(0))->kind;
    const QString toOption = QStringLiteral("to");
    // The default folders are created on first use: asked for only now,
    // when the export is written.
    const QString folder = call.options.isSet(toOption)
                               ? QDir::cleanPath(QDir::current().absoluteFilePath(call.options.value(toOption)))
                               : ExportFlow::defaultFolder(kind);
    return presentExport(ExportFlow::run(kind, call.catalogue, ExportFlow::targetIn(kind, folder)));
}

int presentExport(const ExportFlow::Outcome &outcome)
{
    for (const QString &path : outcome.written)
        CliIo::out(QDir::toNativeSeparators(path) + QLatin1Char('\n'));
    if (!outcome) {
        CliIo::error(ExportFlow::message(outcome));
        return StatusFailure;
    }
    return StatusSuccess;
}
