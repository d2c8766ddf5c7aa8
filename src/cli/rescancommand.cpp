#include "cli/cataloguelock.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/scanrun.h"
#include "media/rescanservice.h"
#include "catalogue/cataloguelistfile.h"
#include "media/mediastate.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

// What to rescan: the PATH given, or the medium's current root when its
// volume is mounted; none after a message.
std::optional<RescanService::Plan> planOf(const CommandCall &call, const QString &source, const MediaRegister &media,
                                          const RowStore &catalogue)
{
    QString root;
    MediaStates states;
    if (call.arguments.size() == 1) {
        root = ScanRun::scanRoot(call.context, call.arguments.at(0));
        if (root.isEmpty())
            return std::nullopt;
    } else {
        states = MediaStates::mountedNow(media, MediumSamples::of(media, catalogue));
    }
    const RescanService::Planned planned = RescanService::plan(media, states.state(source), source, root);
    const MediaRecord *record = media.find(source);
    switch (planned.refusal) {
    case RescanService::Refusal::None:
        return planned.plan;
    case RescanService::Refusal::NotRegistered:
        CliIo::error(QStringLiteral("rescan: %1 is not in the media register, so where it was scanned from is not "
                                    "known; give the folder: ondro-cli rescan --source %1 PATH")
                         .arg(source));
        break;
    case RescanService::Refusal::Offline:
        CliIo::error(QStringLiteral("rescan: %1 is offline (%2 is not mounted); mount it, or give the folder: "
                                    "ondro-cli rescan --source %1 PATH")
                         .arg(source, record->label.isEmpty() ? QDir::toNativeSeparators(record->root) : record->label));
        break;
    case RescanService::Refusal::UnknownReading:
        ScanRun::refuseReading(media, source, planned.reason);
        break;
    }
    return std::nullopt;
}

enum class Decision { Apply, Keep, NotAsked };

Decision decide(const CommandCall &call, const QString &source, const RescanDiff &diff, bool applyAtOnce)
{
    if (applyAtOnce) {
        CliIo::out(rescanSummary(source, diff) + QLatin1Char('\n'));
        return Decision::Apply;
    }
    if (call.options.isSet(QStringLiteral("dry-run"))) {
        CliIo::out(rescanSummary(source, diff) + QLatin1Char('\n'));
        return Decision::Keep;
    }
    if (call.options.isSet(QStringLiteral("yes"))) {
        CliIo::out(rescanSummary(source, diff) + QLatin1Char('\n'));
        return Decision::Apply;
    }
    if (const CliIo::Asked asked = CliIo::ask(rescanQuestion(source, diff)); asked != CliIo::Asked::NoTerminal)
        return asked == CliIo::Asked::Yes ? Decision::Apply : Decision::Keep;
    CliIo::out(rescanSummary(source, diff) + QLatin1Char('\n'));
    CliIo::error(QStringLiteral("rescan: nothing was changed; repeat with --yes to apply these changes"));
    return Decision::NotAsked;
}

// The register first, then the catalogue: a kill between them leaves no
// entry without its medium.
bool applyAndSave(const CommandCall &call, RowStore &catalogue, const RescanService::Plan &plan,
                  const RescanService::Found &found, MediaRegister &media)
{
    const MediaRegister before = media;
    const bool existed = QFileInfo::exists(MediaRegister::fileIn(call.context.dataDir));
    if (!ScanRun::saveScanNoted(call.context, media, plan.source, plan.walk, found.totals, QStringLiteral("rescan")))
        return false;
    if (!found.changes)
        return true;
    RescanService::edits(catalogue, found).applyTo(catalogue);
    const QString file = call.context.catalogueFile();
    const SaveResult saved = CatalogueListFile::save(file, catalogue);
    if (saved)
        return true;
    CliIo::error(saveFailureMessage(file, saved));
    ScanRun::restoreRegister(call.context, existed ? std::optional(before) : std::nullopt);
    return false;
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
    return rescanLocked(call, source, false);
}

int rescanLocked(const CommandCall &call, const QString &source, bool applyAtOnce)
{
    RowStore catalogue;
    MediaRegister media;
    if (!CliIo::loadCatalogue(call.context.catalogueFile(), catalogue, CliIo::Damaged::Refuse)
        || !ScanRun::readRegister(call.context, media))
        return StatusFailure;
    const std::optional<RescanService::Plan> plan = planOf(call, source, media, catalogue);
    if (!plan)
        return StatusFailure;

    const RescanService::Found found = RescanService::find(catalogue, *plan, ScanRun::scanShowingProgress);
    if (found.unread) {
        CliIo::error(QStringLiteral("rescan: %1 could not be read; nothing was changed")
                         .arg(QDir::toNativeSeparators(plan->walk)));
        return StatusFailure;
    }
    switch (decide(call, source, found.diff, applyAtOnce)) {
    case Decision::Keep:
        return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
    case Decision::NotAsked:
        CliIo::finishOutput();
        return StatusNothingFound;
    case Decision::Apply:
        break;
    }
    if (!applyAndSave(call, catalogue, *plan, found, media))
        return StatusFailure;
    return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
}
