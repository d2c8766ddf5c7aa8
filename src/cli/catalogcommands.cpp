#include "cli/cataloguelock.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "export/entryformat.h"
#include "cli/scanrun.h"
#include "browse/matchrule.h"

#include "catalogue/cataloguelistfile.h"
#include "media/mediascan.h"
#include "media/mediastate.h"
#include "base/platform/systempaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// list and find print the nine fields: as tab-separated lines, or JSON without the facts.
EntryFormat::Writer writerFor(const QCommandLineParser &options)
{
    EntryFormat::Options fieldsOnly;
    fieldsOnly.facts = false;
    return EntryFormat::Writer(options.isSet(QStringLiteral("json")) ? EntryFormat::Format::Json
                                                                     : EntryFormat::Format::Tabs,
                               CliIo::outBlock, std::move(fieldsOnly));
}

// The catalogue a scan adds to. A whole catalogue is only checked: the new
// entries are added after a copy of its bytes, so a large catalogue is
// neither parsed nor encoded again. Anything else is read as the other
// commands read it.
struct ScanTarget
{
    QString file;
    CatalogueListFile::ReadResult checked;
    bool addInPlace = false;
    bool existed = false;
    RowStore catalogue; // when not added in place
    qsizetype sourceEntries = 0; // entries the source had before
    MediumSamples samples;       // a few paths of each medium, when added in place
};

// Counts the entries of one source while the list file is checked.
class SourceCounter : public CatalogueListFile::RecordVisitor
{
public:
    SourceCounter(const QString &source, MediumSamples &samples) : m_source(source.toUtf8()), m_samples(samples) {}
    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
    {
        count += fields[FieldSource] == m_source;
        m_samples.record(fields, extension);
    }
    qsizetype count = 0;

private:
    const QByteArray m_source;
    MediumSamples &m_samples;
};

// Read first: a catalogue that cannot be read must not be replaced by the
// new tracks alone, nor a damaged one by its whole entries unless the user
// said so.
bool readScanTarget(const CommandCall &call, ScanTarget &target)
{
    target.file = call.context.catalogueFile();
    SourceCounter counter(call.options.value(QStringLiteral("source")), target.samples);
    target.checked = CatalogueListFile::visit(target.file, counter);
    target.sourceEntries = counter.count;
    target.addInPlace = target.checked.state == CatalogueListFile::ReadState::Whole
                        || target.checked.state == CatalogueListFile::ReadState::Missing;
    target.existed = target.checked.state != CatalogueListFile::ReadState::Missing;
    const auto damaged =
        call.options.isSet(QStringLiteral("accept-damaged")) ? CliIo::Damaged::Warn : CliIo::Damaged::Refuse;
    if (target.addInPlace)
        return true;
    if (!CliIo::loadCatalogue(target.file, target.catalogue, damaged, &target.existed))
        return false;
    target.sourceEntries = mediumTotals(target.catalogue, call.options.value(QStringLiteral("source")), MediumTotals::EntriesOnly).files;
    return true;
}

bool saveScanned(ScanTarget &target, RowStore &&rows)
{
    SaveResult saved;
    if (target.addInPlace) {
        saved = CatalogueListFile::appendRecords(target.file, target.checked.stamp, rows);
    } else {
        target.catalogue.appendAll(std::move(rows));
        saved = CatalogueListFile::save(target.file, target.catalogue);
    }
    if (!saved) {
        CliIo::error(target.existed ? saveFailureMessage(target.file, saved)
                                    : QStringLiteral("Could not save %1: %2. No catalogue was written.")
                                          .arg(QDir::toNativeSeparators(target.file), saved.error));
    }
    return saved.ok;
}

// The summary, once the catalogue is saved: from here the exit status is 0
// whatever happens to the summary, so that a script does not import it
// again (a register that could not be saved has said so, and gives 3).
void printSummary(qsizetype imported, const ScanOutcome &outcome)
{
    // A closed pipe must give an error to report, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // What was left out is counted here too; each file is named on
    // standard error above.
    const QString leftOut = leftOutSummary(outcome);
    CliIo::out(QStringLiteral("%1 files imported%2\n")
                   .arg(imported)
                   .arg(leftOut.isEmpty() ? QString() : QStringLiteral(", ") + leftOut));
    if (!CliIo::finishOutput()) {
        CliIo::error(QStringLiteral("%1 files imported (%2), but this summary could not be written to standard "
                                    "output: %3")
                         .arg(imported)
                         .arg(imported > 0 ? QStringLiteral("the catalogue was saved")
                                           : QStringLiteral("the catalogue was left as it was"),
                              CliIo::outputError()));
        CliIo::outputFailureHandled();
    }
}

// The medium a scan of root as source would add again (its own ID with
// entries, or another ID for the same folder, or one that differs only in
// case or blanks); empty when there is none. Said on standard error.
QString existingMedium(const CommandCall &call, const ScanTarget &target, const MediaRegister &media,
                       const QString &source, const QString &root)
{
    if (target.sourceEntries > 0) {
        CliIo::error(QStringLiteral("%1 already had %2 entries; `ondro-cli rescan --source %1` updates them instead")
                         .arg(source)
                         .arg(target.sourceEntries));
        return source;
    }
    const MediaStates states =
        MediaStates::mountedNow(media, target.addInPlace ? target.samples : MediumSamples::of(media, target.catalogue));
    const MediaRecord *other = sameMedium(media, states, source, root);
    if (other && !call.options.isSet(QStringLiteral("rescan-existing")))
        CliIo::error(QStringLiteral("this folder was scanned as %1; it is added again as %2 "
                                    "(--rescan-existing rescans %1 instead)")
                         .arg(other->source, source));
    return other ? other->source : QString();
}

} // namespace

int runScan(const CommandCall &call)
{
    const QString source = call.options.value(QStringLiteral("source"));
    if (source.isEmpty()) {
        CliIo::error(QStringLiteral("scan: a source ID is required: --source ID (such as CD02)"));
        return StatusUsage;
    }
    const QString root = ScanRun::scanRoot(call.context, call.arguments.at(0));
    if (root.isEmpty())
        return StatusFailure;

    // Held until the catalogue is saved: the read below must see every
    // earlier writer's save, and no other writer may save in between.
    const std::unique_ptr<SingleInstance> lock = CatalogueLock::take(call.context.dataDir);
    if (!lock)
        return StatusFailure;
    ScanTarget target;
    if (!readScanTarget(call, target))
        return StatusFailure;
    // A register that cannot be read is not saved over; the scan still adds.
    MediaRegister media;
    const bool registerUsable = ScanRun::readRegister(call.context, media);
    const QString existing = existingMedium(call, target, media, source, root);
    if (!existing.isEmpty() && call.options.isSet(QStringLiteral("rescan-existing")))
        return rescanLocked(call, existing, true);
    const std::optional<TagReading> reading = ScanRun::readingOf(media, source);
    if (!reading)
        return StatusFailure;

    ScanOutcome outcome = ScanRun::scanShowingProgress(root, source, *reading);
    const qsizetype imported = outcome.rows.size();
    const std::optional<MediaRegister> before =
        QFileInfo::exists(MediaRegister::fileIn(call.context.dataDir)) ? std::optional(media) : std::nullopt;
    if (imported > 0 && registerUsable) {
        // Written for older versions only: the entries' own figures are shown.
        MediumTotals totals = mediumTotals(outcome.rows, source);
        if (const MediaRecord *before = media.find(source); before && target.sourceEntries > 0) {
            totals.files += before->files;
            totals.bytes += before->bytes;
            totals.seconds += before->seconds;
        }
        if (!ScanRun::saveScanNoted(call.context, media, source, root, totals, QStringLiteral("scan")))
            return StatusFailure;
    }
    if (imported > 0 && !saveScanned(target, std::move(outcome.rows))) {
        if (registerUsable)
            ScanRun::restoreRegister(call.context, before);
        return StatusFailure;
    }
    printSummary(imported, outcome);
    return StatusSuccess;
}

namespace {

// Hands each entry of the catalogue to print as it is cut from the file:
// no catalogue is built. A read that fails part-way ends without closing
// the output (a JSON reader sees it cut short) and says so on standard
// error; false then.
bool printFromCatalogue(const CommandCall &call, const EntrySink &print, EntryFormat::Writer &writer)
{
    const QString file = call.context.catalogueFile();
    CatalogueListFile::ReadResult read;
    CatalogueListFile::stream(file, read)(print);
    const bool readable = read.state != CatalogueListFile::ReadState::Unreadable;
    if (readable)
        writer.finish();
    else
        writer.flush();
    CliIo::reportRead(file, read);
    return readable;
}

} // namespace

int runList(const CommandCall &call)
{
    EntryFormat::Writer writer = writerFor(call.options);
    const auto print = [&writer](const EntryView &entry) {
        writer.add(entry);
        return true;
    };
    return printFromCatalogue(call, print, writer) ? StatusSuccess : StatusFailure;
}

int runFind(const CommandCall &call)
{
    // The same rule as Find and the query window, on each entry as list
    // prints them.
    const MatchRule::Matcher matcher(call.arguments.at(0));
    EntryFormat::Writer writer = writerFor(call.options);
    qsizetype found = 0;
    const auto print = [&](const EntryView &entry) {
        if (matcher.matchesUtf8(entry.fields[FieldFilename])) {
            writer.add(entry);
            ++found;
        }
        return true;
    };
    if (!printFromCatalogue(call, print, writer))
        return StatusFailure;
    return found == 0 ? StatusNothingFound : StatusSuccess;
}
