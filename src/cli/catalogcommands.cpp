#include "cli/cataloguelock.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/entryoutput.h"
#include "browse/matchrule.h"

#include "store/cataloguelistfile.h"
#include "media/mediascan.h"
#include "store/platform/systempaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

EntryOutput::Format formatOf(const QCommandLineParser &options)
{
    return options.isSet(QStringLiteral("json")) ? EntryOutput::Format::Json : EntryOutput::Format::Tabs;
}

// One status line on a terminal's standard error, rewritten in place at
// most ten times a second. Does nothing when standard error is a file or a
// pipe, so logs of cron jobs stay clean.
class ScanProgress
{
public:
    ScanProgress() : m_enabled(isatty(fileno(stderr)) == 1) { m_clock.start(); }

    void show(const QString &text, bool force = false)
    {
        if (!m_enabled || (!force && m_shown && m_clock.elapsed() < 100))
            return;
        m_clock.restart();
        m_shown = true;
        const QByteArray line = "\r" + text.toUtf8() + "\x1b[K";
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
    }

    void finish()
    {
        if (m_enabled && m_shown) {
            std::fputs("\r\x1b[K", stderr);
            std::fflush(stderr);
        }
    }

private:
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

// The folder a scan walks, as the full path stored for its files; empty
// (after a message) when it cannot be scanned.
QString scanRoot(const CliContext &context, const QString &argument)
{
    if (!context.keptWhole(argument))
        return {};
    const QFileInfo info(argument);
    const QString shown = QDir::toNativeSeparators(argument);
    if (!info.exists()) {
        CliIo::error(QStringLiteral("cannot scan %1: no such folder").arg(shown));
        return {};
    }
    if (!info.isDir()) {
        CliIo::error(QStringLiteral("cannot scan %1: it is not a folder").arg(shown));
        return {};
    }
    if (!info.isReadable() || !info.isExecutable()) {
        CliIo::error(QStringLiteral("cannot scan %1: the folder cannot be read").arg(shown));
        return {};
    }
    // Stored paths are full paths, as the desktop scan stores them.
    return QDir::cleanPath(info.absoluteFilePath());
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
};

// Read first: a catalogue that cannot be read must not be replaced by the
// new tracks alone, nor a damaged one by its whole entries unless the user
// said so.
bool readScanTarget(const CommandCall &call, ScanTarget &target)
{
    target.file = call.context.catalogueFile();
    target.checked = CatalogueListFile::check(target.file);
    target.addInPlace = target.checked.state == CatalogueListFile::ReadState::Whole
                        || target.checked.state == CatalogueListFile::ReadState::Missing;
    target.existed = target.checked.state != CatalogueListFile::ReadState::Missing;
    const auto damaged =
        call.options.isSet(QStringLiteral("accept-damaged")) ? CliIo::Damaged::Warn : CliIo::Damaged::Refuse;
    return target.addInPlace || CliIo::loadCatalogue(target.file, target.catalogue, damaged, &target.existed);
}

ScanOutcome scanShowingProgress(const QString &root, const QString &source)
{
    ScanProgress progress;
    ScanCallbacks callbacks;
    callbacks.folderEntered = [&](const QString &, qsizetype found) {
        progress.show(QStringLiteral("Walking: %1 files found").arg(found));
    };
    callbacks.importStarted = [&](qsizetype total) {
        progress.show(QStringLiteral("Importing: 0 of %1").arg(total), true);
    };
    // No text is formatted per file when nothing shows it, and at most
    // every 64th file when a terminal does (it is redrawn every 100 ms).
    const bool progressShown = isatty(fileno(stderr)) == 1;
    callbacks.fileImported = [&](qsizetype i, qsizetype total) {
        if (progressShown && (i % 64 == 0 || i == total))
            progress.show(QStringLiteral("Importing: %1 of %2").arg(i).arg(total), i == total);
    };
    ScanOutcome outcome = scanMedia(root, source, callbacks);
    progress.finish();
    for (const QString &folder : std::as_const(outcome.failedFolders))
        CliIo::error(QStringLiteral("cannot read the folder %1; it was skipped").arg(QDir::toNativeSeparators(folder)));
    for (const SkippedFile &file : std::as_const(outcome.skipped))
        CliIo::error(QStringLiteral("%1 was skipped: %2").arg(QDir::toNativeSeparators(file.path), file.reason));
    return outcome;
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
// whatever happens to it, so that a script does not import it again.
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

} // namespace

int runScan(const CommandCall &call)
{
    const QString source = call.options.value(QStringLiteral("source"));
    if (source.isEmpty()) {
        CliIo::error(QStringLiteral("scan: a source ID is required: --source ID (such as CD02)"));
        return StatusUsage;
    }
    const QString root = scanRoot(call.context, call.arguments.at(0));
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

    ScanOutcome outcome = scanShowingProgress(root, source);
    const qsizetype imported = outcome.rows.size();
    if (imported > 0 && !saveScanned(target, std::move(outcome.rows)))
        return StatusFailure;
    printSummary(imported, outcome);
    return StatusSuccess;
}

namespace {

// Prints what visitor makes of each record of the catalogue as it is cut
// from the file: no catalogue is built. A read that fails part-way ends
// without closing the output (a JSON reader sees it cut short) and says so
// on standard error; false then.
bool printFromCatalogue(const CommandCall &call, CatalogueListFile::RecordVisitor &visitor, EntryOutput::Writer &writer)
{
    const QString file = call.context.catalogueFile();
    const CatalogueListFile::ReadResult read = CatalogueListFile::visit(file, visitor);
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
    class Lister : public CatalogueListFile::RecordVisitor
    {
    public:
        explicit Lister(EntryOutput::Format format) : m_writer(format) {}
        void record(const std::array<QByteArrayView, TrackFieldCount> &fields) override
        {
            m_writer.add(fields, EntryOrigin::Own);
        }
        EntryOutput::Writer m_writer;
    };
    Lister lister(formatOf(call.options));
    return printFromCatalogue(call, lister, lister.m_writer) ? StatusSuccess : StatusFailure;
}

int runFind(const CommandCall &call)
{
    // The same rule as Find and the query window, on each record as list
    // prints them.
    class Finder : public CatalogueListFile::RecordVisitor
    {
    public:
        Finder(const QString &text, EntryOutput::Format format) : m_matcher(text), m_writer(format) {}
        void record(const std::array<QByteArrayView, TrackFieldCount> &fields) override
        {
            if (!m_matcher.matchesUtf8(fields[FieldFilename]))
                return;
            m_writer.add(fields, EntryOrigin::Own);
            ++m_found;
        }
        MatchRule::Matcher m_matcher;
        EntryOutput::Writer m_writer;
        qsizetype m_found = 0;
    };
    Finder finder(call.arguments.at(0), formatOf(call.options));
    if (!printFromCatalogue(call, finder, finder.m_writer))
        return StatusFailure;
    return finder.m_found == 0 ? StatusNothingFound : StatusSuccess;
}
