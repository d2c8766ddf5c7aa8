#include "cli/cataloguelock.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/scanrun.h"
#include "media/rescan.h"
#include "store/cataloguelistfile.h"
#include "store/cataloguemodel.h"
#include "store/mediastate.h"

#include <QDir>
#include <cstdio>
#include <unistd.h>

namespace {

// The folder the entries were scanned from, and the one to walk now: the
// PATH given, or the medium's current root when its volume is mounted.
struct RescanRoots
{
    QString scannedFrom;
    QString walk;
};

bool findRoots(const CommandCall &call, const QString &source, const MediaRegister &media, const RowStore &catalogue,
               RescanRoots &roots)
{
    const MediaRecord *record = media.find(source);
    if (call.arguments.size() == 1) {
        roots.walk = ScanRun::scanRoot(call.context, call.arguments.at(0));
        roots.scannedFrom = record ? record->root : roots.walk;
        return !roots.walk.isEmpty();
    }
    if (!record) {
        CliIo::error(QStringLiteral("rescan: %1 is not in the media register, so where it was scanned from is not "
                                    "known; give the folder: ondro-cli rescan --source %1 PATH")
                         .arg(source));
        return false;
    }
    const MediumState state =
        MediaStates::stateOf(*record, Volumes::mounted(),
                             MediaStates::samplePaths(media, catalogue).value(source));
    if (!state.online) {
        CliIo::error(QStringLiteral("rescan: %1 is offline (%2 is not mounted); mount it, or give the folder: "
                                    "ondro-cli rescan --source %1 PATH")
                         .arg(source, record->label.isEmpty() ? QDir::toNativeSeparators(record->root) : record->label));
        return false;
    }
    roots.scannedFrom = record->root;
    roots.walk = state.currentRoot;
    return true;
}

// Asks on the terminal; anything but y or yes is No.
bool confirmed(const QString &question)
{
    std::fprintf(stderr, "%s [y/N] ", qPrintable(question));
    std::fflush(stderr);
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    const QString text = QString::fromLatin1(answer).trimmed().toLower();
    return text == QLatin1String("y") || text == QLatin1String("yes");
}

enum class Decision { Apply, Keep, NotAsked };

Decision decide(const CommandCall &call, const QString &source, const RescanDiff &diff)
{
    if (call.options.isSet(QStringLiteral("dry-run"))) {
        CliIo::out(rescanSummary(source, diff) + QLatin1Char('\n'));
        return Decision::Keep;
    }
    if (call.options.isSet(QStringLiteral("yes"))) {
        CliIo::out(rescanSummary(source, diff) + QLatin1Char('\n'));
        return Decision::Apply;
    }
    if (isatty(fileno(stdin)) == 1 && isatty(fileno(stderr)) == 1)
        return confirmed(rescanQuestion(source, diff)) ? Decision::Apply : Decision::Keep;
    CliIo::out(rescanSummary(source, diff) + QLatin1Char('\n'));
    CliIo::error(QStringLiteral("rescan: nothing was changed; repeat with --yes to apply these changes"));
    return Decision::NotAsked;
}

bool applyAndSave(const CommandCall &call, const QString &source, RowStore &&catalogue, const RescanDiff &diff,
                  const ScanOutcome &outcome, MediaRegister &media, const QString &walked)
{
    CatalogueModel model;
    model.appendRows(std::move(catalogue));
    const bool changes = diff.changesCatalogue(model.rows(), outcome.rows);
    if (changes) {
        applyRescan(model, diff, outcome.rows);
        const QString file = call.context.catalogueFile();
        const SaveResult saved = CatalogueListFile::save(file, model.rows());
        if (!saved) {
            CliIo::error(saveFailureMessage(file, saved));
            return false;
        }
    }
    return ScanRun::saveScanNoted(call.context, media, source, walked, mediumTotals(model.rows(), source),
                                  changes ? ScanRun::CatalogueSaved::WithRescan : ScanRun::CatalogueSaved::No);
}

} // namespace

int runRescan(const CommandCall &call)
{
    const QString source = call.options.value(QStringLiteral("source"));
    if (source.isEmpty()) {
        CliIo::error(QStringLiteral("rescan: a source ID is required: --source ID (such as CD02)"));
        return StatusUsage;
    }
    const std::unique_ptr<SingleInstance> lock = CatalogueLock::take(call.context.dataDir);
    if (!lock)
        return StatusFailure;
    RowStore catalogue;
    MediaRegister media;
    RescanRoots roots;
    if (!CliIo::loadCatalogue(call.context.catalogueFile(), catalogue, CliIo::Damaged::Refuse)
        || !ScanRun::readRegister(call.context, media) || !findRoots(call, source, media, catalogue, roots))
        return StatusFailure;

    const std::optional<TagReading> reading = ScanRun::readingOf(media, source);
    if (!reading)
        return StatusFailure;
    const ScanOutcome outcome = ScanRun::scanShowingProgress(roots.walk, source, *reading);
    if (outcome.stopped || outcome.failedFolders.contains(roots.walk)) {
        CliIo::error(QStringLiteral("rescan: %1 could not be read; nothing was changed")
                         .arg(QDir::toNativeSeparators(roots.walk)));
        return StatusFailure;
    }
    const RescanDiff diff =
        diffRescan(catalogue, source, roots.scannedFrom, outcome.rows, roots.walk, outcome.failedFolders, outcome.skipped);
    switch (decide(call, source, diff)) {
    case Decision::Keep:
        return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
    case Decision::NotAsked:
        CliIo::finishOutput();
        return StatusNothingFound;
    case Decision::Apply:
        break;
    }
    if (!applyAndSave(call, source, std::move(catalogue), diff, outcome, media, roots.walk))
        return StatusFailure;
    return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
}
