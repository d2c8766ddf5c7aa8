#include "export/statusjobs.h"

#include "catalogue/cataloguelistfile.h"
#include "export/exportflow.h"
#include "base/platform/openfailure.h"

#include <QDir>
#include <QStringList>
#include <cmath>

QString statusJobModeText(StatusJob job)
{
    switch (job) {
    case StatusJob::Save:
        return QStringLiteral("SAVE");
    case StatusJob::Print:
        return QStringLiteral("PRINT");
    case StatusJob::ExportText:
        return QStringLiteral("EXPORTTEXT");
    }
    return {};
}

double progressPercent(qsizetype i, qsizetype n)
{
    if (n <= 0 || i <= 0)
        return 0.0;
    if (i >= n)
        return 100.0;
    return 100.0 * double(i) / double(n);
}

namespace StatusJobs {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

int WholePercentSteps::wholePercent(double percent)
{
    if (!(percent > 0.0)) // also NaN
        return 0;
    if (percent >= 100.0)
        return 100;
    return int(std::floor(percent));
}

StatusJobResult save(const StatusJobContext &context, WorkProgress *progress)
{
    QStringList failures;
    const SaveResult settings = SettingsFile::save(context.settingsPath, context.settings);
    if (!settings)
        failures << saveFailureMessage(context.settingsPath, settings);
    // The catalogue is written even when the settings could not be: losing
    // the widths is a small matter next to losing the catalogue.
    StatusJobResult result;
    const SaveResult before = context.registerBefore ? context.registerBefore() : SaveResult{};
    if (!before) {
        failures << saveFailureMessage(context.registerPath, before)
                 << QStringLiteral("The catalogue %1 was not saved either, so the two stay as they were.")
                        .arg(shown(context.listPath));
    } else {
        const SaveResult list = CatalogueListFile::save(context.listPath, context.catalogue.rows(), progress,
                                                        context.listCalls);
        if (!list)
            failures << saveFailureMessage(context.listPath, list);
        result.catalogueSaved = bool(list);
        const SaveResult after = list && context.registerAfter ? context.registerAfter() : SaveResult{};
        if (!after)
            failures << saveFailureMessage(context.registerPath, after);
        result.registerSaved = list && after;
    }
    if (!failures.isEmpty()) {
        result.ok = false;
        result.message = failures.join(QLatin1Char('\n'));
        result.icon = Prompter::Icon::Critical;
    }
    return result;
}

StatusJobResult print(const StatusJobContext &context, WorkProgress *progress)
{
    const CatalogueModel &catalogue = context.catalogue;
    const qsizetype n = catalogue.size();
    if (n == 0)
        return {}; // nothing to print, and no empty page either
    const auto line = [&catalogue](qsizetype i) { return catalogue.field(i, FieldFilename); };
    switch (context.platform.printLines(n, line, progress)) {
    case Platform::PrintOutcome::Printed:
        return {};
    case Platform::PrintOutcome::Failed:
        return {false, QStringLiteral("Printing failed. The index was not printed."), Prompter::Icon::Critical, {}};
    case Platform::PrintOutcome::NoPrinter:
        break;
    }

    const QString path = context.exportsFolder + QLatin1Char('/') + pdfIndexFileName();
    const SaveResult written = context.platform.writePdf(path, n, line, progress);
    if (!written)
        return {false,
                QStringLiteral("No printer is installed, and the index could not be saved as %1: %2.")
                    .arg(shown(path), written.error),
                Prompter::Icon::Critical,
                {}};
    return {true, QStringLiteral("No printer is installed. The index was saved instead as:\n%1").arg(shown(path)),
            Prompter::Icon::Information, path};
}

StatusJobResult exportText(const StatusJobContext &context, WorkProgress *progress)
{
    const QString path = ExportFlow::targetIn(ExportFlow::Kind::Text, context.exportsFolder);
    ExportFlow::Hooks hooks;
    hooks.progress = progress;
    const ExportFlow::Outcome outcome = ExportFlow::run(ExportFlow::Kind::Text, context.catalogue.rows(), path, hooks);
    if (!outcome)
        return {false, ExportFlow::message(outcome), Prompter::Icon::Critical, {}};
    return {true, {}, Prompter::Icon::None, path};
}

StatusJobResult run(StatusJob job, const StatusJobContext &context, WorkProgress *progress)
{
    switch (job) {
    case StatusJob::Save:
        return save(context, progress);
    case StatusJob::Print:
        return print(context, progress);
    case StatusJob::ExportText:
        return exportText(context, progress);
    }
    return {};
}

void report(const StatusJobResult &result, Platform &platform, Prompter &prompter)
{
    if (result.openPath.isEmpty()) {
        if (!result.message.isEmpty())
            prompter.message(result.message, result.icon);
        return;
    }
    // The file is written either way; when nothing can show it, say where it
    // is, in the one message the job has to give.
    const int opened = platform.shellOpen(result.openPath);
    if (result.message.isEmpty()) {
        if (const QString unopened = OpenFailure::message(result.openPath, opened); !unopened.isEmpty())
            prompter.message(unopened, Prompter::Icon::Information);
    } else if (const QString why = OpenFailure::reason(opened); !why.isEmpty()) {
        prompter.message(result.message + QStringLiteral("\nIt could not be opened: %1.").arg(why), result.icon);
    } else {
        prompter.message(result.message, result.icon);
    }
}

} // namespace StatusJobs
