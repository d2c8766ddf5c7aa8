#include "cli/clicommands.h"

#include "cli/clicatalogue.h"
#include "cli/queryrun.h"
#include "cli/scanrun.h"
#include "export/exportflow.h"
#include "catalogue/cataloguelistfile.h"
#include "media/mediastate.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

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

// The options only the interchange kinds take; --relative only m3u8.
int checkInterchangeOptions(const CommandCall &call, ExportFlow::Kind kind)
{
    const QString queryOption = QStringLiteral("query");
    for (const QString &option : {queryOption, QStringLiteral("relative"), QStringLiteral("resolve")}) {
        const bool taken = option == QLatin1String("relative") ? kind == ExportFlow::Kind::M3u8
                                                                : ExportFlow::isInterchange(kind);
        if (call.options.isSet(option) && !taken) {
            CliIo::error(QStringLiteral("export: --%1 does not apply to %2").arg(option, call.arguments.at(0)));
            return StatusUsage;
        }
    }
    if (call.options.isSet(queryOption))
        return QueryRun::checkExpression(call.context, call.options.value(queryOption));
    return StatusSuccess;
}

// --resolve: each path where its medium is mounted now, after a first pass
// for the samples and a read of the media register; false after a message.
bool resolveThroughRegister(const CliContext &context, Interchange::Options &options)
{
    MediumSamples first;
    const QString file = context.catalogueFile();
    MediaRegister registered;
    if (!CliIo::reportRead(file, CatalogueListFile::visit(file, first)) || !ScanRun::readRegister(context, registered))
        return false;
    auto states = std::make_shared<const MediaStates>(MediaStates::mountedNow(registered, first));
    options.resolve = [states](const QString &path, const QString &source) {
        return states->currentPath(path, source);
    };
    return true;
}

} // namespace

int runInterchangeExport(const CommandCall &call, const QString &target)
{
    const ExportFlow::Kind kind = exportKind(call.arguments.at(0))->kind;
    Interchange::Options options;
    options.relative = call.options.isSet(QStringLiteral("relative"));
    if (call.options.isSet(QStringLiteral("resolve")) && !resolveThroughRegister(call.context, options))
        return StatusFailure;
    const QString file = call.context.catalogueFile();
    const bool query = call.options.isSet(QStringLiteral("query"));
    CatalogueListFile::ReadResult read;
    int queryStatus = StatusSuccess;
    const EntryStream source = query ? EntryStream([&](const EntrySink &add) {
        bool going = true;
        queryStatus = QueryRun::forEachMatch(call.context, call.options.value(QStringLiteral("query")),
                                             [&](const EntryView &entry) { return going = add(entry); });
        return going && queryStatus == StatusSuccess;
    }) : CatalogueListFile::stream(file, read);
    const ExportFlow::Outcome outcome = ExportFlow::runInterchange(kind, source, target, options);
    // What could not be read was told as it was read (the query) or is told now.
    if (query ? queryStatus != StatusSuccess : !CliIo::reportRead(file, read))
        return query ? queryStatus : StatusFailure;
    return presentExport(outcome);
}

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
    if (const int status = checkInterchangeOptions(call, exportKind(kind)->kind); status != StatusSuccess)
        return status;
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
