#include "cli/cataloguelock.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/commandtable.h"
#include "cli/clioutput.h"
#include "cli/scanrun.h"
#include "media/mediastate.h"
#include "media/verifyrun.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The medium's state when it can be verified now; none after a message.
const MediumState *onlineState(const QString &source, const MediaRegister &media, const MediaStates &states)
{
    const MediaRecord *record = media.find(source);
    if (!record) {
        CliIo::error(QStringLiteral("verify: %1 is not in the media register, so where its files are is not known")
                         .arg(source));
        return nullptr;
    }
    const MediumState *state = states.state(source);
    if (!state || !state->online) {
        CliIo::error(QStringLiteral("verify: %1 is offline (%2 is not mounted); mount it and verify again")
                         .arg(source, record->label.isEmpty() ? QDir::toNativeSeparators(record->root) : record->label));
        return nullptr;
    }
    return state;
}

// One line per file with a problem: status, path and detail, tab-separated
// and escaped as entries are.
QByteArray problemLines(const Verify::Outcome &outcome)
{
    QByteArray lines;
    for (const Verify::FileResult &file : outcome.files) {
        if (file.status == Verify::Status::Ok)
            continue;
        lines += Verify::statusWord(file.status);
        lines += '\t';
        CliIo::appendEscaped(lines, file.path.toUtf8());
        lines += '\t';
        CliIo::appendEscaped(lines, file.detail.toUtf8());
        lines += '\n';
    }
    return lines;
}

QByteArray problemJson(const Verify::Outcome &outcome)
{
    QJsonArray problems;
    for (const Verify::FileResult &file : outcome.files) {
        if (file.status != Verify::Status::Ok)
            problems.append(QJsonObject{{QStringLiteral("status"), QString::fromLatin1(Verify::statusWord(file.status))},
                                        {QStringLiteral("path"), file.path},
                                        {QStringLiteral("detail"), file.detail}});
    }
    QJsonObject summary = MediaRegister::objectOf(MediaRecord{.source = outcome.source, .verified = outcome.counts})
                              .value(QStringLiteral("verified"))
                              .toObject();
    summary.insert(QStringLiteral("source"), outcome.source);
    summary.insert(QStringLiteral("problems"), problems);
    return QJsonDocument(summary).toJson(QJsonDocument::Indented);
}

} // namespace

CommandSpec verifyCommand()
{
    return {.name = QStringLiteral("verify"),
            .synopsis = QStringLiteral("--source ID [--json]"),
            .summary = QStringLiteral("Read every file of a medium whole and report those no longer as catalogued."),
            .details = QStringLiteral(
                "Reads every catalogued file of the medium, which must be online, whole and in the order "
                "of a scan's walk (one file at a time on optical media), and finds each ok, unreadable (the "
                "system's reason and the byte where reading failed; a failed read is tried once more, then "
                "the rest of the file is skipped), changed (size, modification time or audio identity not "
                "the catalogue's; \"bit rot\" when only the audio differs), damaged (frame sync lost inside "
                "the audio, a last frame cut short, an audio length the stream's header does not give) or "
                "missing. Prints one line per file with a problem: status, path and detail, separated by a "
                "tab and escaped as entries are; then \"ID: N files, N ok, N unreadable, N changed, N "
                "damaged, N missing\". With --json: one object with the counts, the time and \"problems\". "
                "Nothing in the catalogue changes but each entry's problem mark (vfy=, which has:problem "
                "finds), set or taken away, and the medium's last verification in the media register "
                "(is:unverified, verified:<1y), saved with the catalogue under its lock. Exit status 0 "
                "when every file is ok, 1 when problems were found, 3 when the medium could not be "
                "verified (not registered, offline)."),
            .options = {QCommandLineOption(QStringList{QStringLiteral("json")}, QStringLiteral("Print one JSON object instead of tab-separated lines.")),
                        QCommandLineOption(QStringList{QStringLiteral("source")},
                                           QStringLiteral("Source ID of the medium, such as CD02 (required)."),
                                           QStringLiteral("ID"))},
            .run = runVerify};
}

int runVerify(const CommandCall &call)
{
    const QString source = call.options.value(QStringLiteral("source"));
    if (source.isEmpty()) {
        CliIo::error(QStringLiteral("verify: a source ID is required: --source ID (such as CD02)"));
        return StatusUsage;
    }
    const std::unique_ptr<SingleInstance> lock = CatalogueLock::take(call.context.dataDir);
    RowStore catalogue;
    MediaRegister media;
    if (!lock || !CliIo::loadCatalogue(call.context.catalogueFile(), catalogue, CliIo::Damaged::Refuse)
        || !ScanRun::readRegister(call.context, media))
        return StatusFailure;
    const MediaStates states = MediaStates::mountedNow(media, MediumSamples::of(media, catalogue));
    if (!onlineState(source, media, states))
        return StatusFailure;

    const Verify::Outcome outcome = Verify::run(catalogue, source, states);
    const MediaRegister read = media;
    media.find(source)->verified = outcome.counts;
    const QString what = QStringLiteral("the verification of %1").arg(source);
    if (!saveBoth(call, catalogue, Verify::markEdits(catalogue, outcome), read, media, what))
        return StatusFailure;
    if (call.options.isSet(QStringLiteral("json")))
        CliIo::out(problemJson(outcome));
    else
        CliIo::out(problemLines(outcome) + Verify::summaryLine(source, outcome.counts).toUtf8() + '\n');
    if (!CliIo::finishOutput())
        return StatusFailure;
    return Verify::problems(outcome.counts) == 0 ? StatusSuccess : StatusNothingFound;
}
