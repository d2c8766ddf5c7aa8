#include "cli/cataloguelock.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/scanrun.h"
#include "media/rescan.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"
#include "base/codepage.h"
#include "media/mediastate.h"
#include "media/tagreading.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cstdio>
#include <map>
#include <unistd.h>

namespace {

// The figures of each source from its entries in the list file, and a few
// of their paths (to tell whether a medium without a UUID is present).
class SourceTally : public CatalogueListFile::RecordVisitor
{
public:
    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
    {
        sources[QString::fromUtf8(fields[FieldSource])].add(extension, fields[FieldFilename]);
        samples.record(fields, extension);
    }
    TotalsBySource sources; // listed in the register's order
    MediumSamples samples;
};

bool tallySources(const CliContext &context, SourceTally &tally)
{
    const QString file = context.catalogueFile();
    const CatalogueListFile::ReadResult read = CatalogueListFile::visit(file, tally);
    return CliIo::reportRead(file, read);
}

// The register's record with the figures of the entries over its own.
QJsonObject mediumJson(const QString &source, const MediaRecord *record, const MediumState *state,
                       const MediumTotals &totals)
{
    QJsonObject object;
    if (record) {
        object = MediaRegister::objectOf(*record);
        object.insert(QStringLiteral("currentRoot"), state->currentRoot);
    }
    object.insert(QStringLiteral("source"), source);
    object.insert(QStringLiteral("online"), state ? QJsonValue(state->online) : QJsonValue());
    object.insert(QStringLiteral("entries"), double(totals.files));
    object.insert(QStringLiteral("files"), double(totals.files));
    object.insert(QStringLiteral("bytes"), double(totals.bytes));
    object.insert(QStringLiteral("seconds"), double(totals.seconds));
    return object;
}

void appendMediumLine(QByteArray &out, const QString &source, const MediaRecord *record, const MediumState *state,
                      const MediumTotals &totals)
{
    const QStringList fields{source,
                             record ? record->label : QString(),
                             state ? (state->online ? QStringLiteral("online") : QStringLiteral("offline")) : QString(),
                             QString::number(totals.files),
                             QString::number(totals.bytes),
                             QString::number(totals.seconds),
                             record && record->scanned.isValid() ? record->scanned.toString(Qt::ISODate) : QString(),
                             state ? state->currentRoot : QString(),
                             record ? record->note : QString()};
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += '\t';
        CliIo::appendEscaped(out, fields.at(i).toUtf8());
    }
    out += '\n';
}

int mediaList(const CommandCall &call)
{
    MediaRegister media;
    SourceTally tally;
    if (!ScanRun::readRegister(call.context, media) || !tallySources(call.context, tally))
        return StatusFailure;
    for (const MediaRecord &record : media.records())
        tally.sources.try_emplace(record.source);
    const MediaStates states = MediaStates::mountedNow(media, tally.samples);

    const bool json = call.options.isSet(QStringLiteral("json"));
    QJsonArray array;
    QByteArray lines;
    for (const auto &[source, totals] : tally.sources) {
        const MediaRecord *record = media.find(source);
        if (json)
            array.append(mediumJson(source, record, states.state(source), totals));
        else
            appendMediumLine(lines, source, record, states.state(source), totals);
    }
    CliIo::out(json ? QJsonDocument(array).toJson(QJsonDocument::Indented) : lines);
    return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
}

int mediaSet(const CommandCall &call)
{
    const QString source = call.arguments.at(1);
    const std::unique_ptr<SingleInstance> lock = CatalogueLock::take(call.context.dataDir);
    MediaRegister media;
    if (!lock || !ScanRun::readRegister(call.context, media))
        return StatusFailure;
    if (!media.find(source)) {
        SourceTally tally;
        if (!tallySources(call.context, tally))
            return StatusFailure;
        if (!tally.sources.count(source)) {
            CliIo::error(QStringLiteral("media set: there is no medium %1 in the catalogue").arg(source));
            return StatusNothingFound;
        }
    }
    MediaRecord &record = media.recordFor(source);
    if (call.options.isSet(QStringLiteral("note")))
        record.note = call.options.value(QStringLiteral("note"));
    if (call.options.isSet(QStringLiteral("codepage")))
        record.codepage = call.options.value(QStringLiteral("codepage"));
    if (call.options.isSet(QStringLiteral("tags")))
        record.tags = call.options.value(QStringLiteral("tags"));
    const QString path = MediaRegister::fileIn(call.context.dataDir);
    const SaveResult saved = media.save(path);
    if (!saved) {
        CliIo::error(saveFailureMessage(path, saved));
        return StatusFailure;
    }
    return StatusSuccess;
}

} // namespace

namespace {

// Each action and the arguments it takes, the action included.
struct MediaAction
{
    const char *name;
    qsizetype arguments;
    const char *usage;
};
constexpr MediaAction MediaActions[] = {
    {"list", 1, "media list takes no source ID"},
    {"set", 2, "media set: a source ID is required: media set ID --note TEXT"},
    {"rename", 3, "media rename: the source ID and its new ID are required: media rename OLD NEW"},
    {"remove", 2, "media remove: a source ID is required: media remove ID [--yes]"},
};

int checkSetOptions(const CommandCall &call)
{
    const bool codepage = call.options.isSet(QStringLiteral("codepage"));
    const bool tags = call.options.isSet(QStringLiteral("tags"));
    if (!call.options.isSet(QStringLiteral("note")) && !codepage && !tags) {
        CliIo::error(QStringLiteral("media set: nothing to set; give --note TEXT, --codepage NAME or --tags "
                                    "id3v1|id3v2"));
        return StatusUsage;
    }
    if (codepage && !CodePage::isKnown(call.options.value(QStringLiteral("codepage")))) {
        CliIo::error(QStringLiteral("media set: ") + CodePage::refusal(call.options.value(QStringLiteral("codepage"))));
        return StatusUsage;
    }
    if (tags && !TagPreferences::isKnown(call.options.value(QStringLiteral("tags")))) {
        CliIo::error(QStringLiteral("media set: ") + TagPreferences::refusal(call.options.value(QStringLiteral("tags"))));
        return StatusUsage;
    }
    return StatusSuccess;
}

} // namespace

int checkMedia(const CommandCall &call)
{
    const QString action = call.arguments.at(0);
    const auto known = std::find_if(std::begin(MediaActions), std::end(MediaActions),
                                    [&action](const MediaAction &a) { return action == QLatin1String(a.name); });
    if (known == std::end(MediaActions)) {
        CliIo::error(QStringLiteral("media: unknown action \"%1\"; use list, set, rename or remove").arg(action));
        return StatusUsage;
    }
    if (call.arguments.size() != known->arguments) {
        CliIo::error(QString::fromLatin1(known->usage));
        return StatusUsage;
    }
    if (action == QLatin1String("set"))
        if (const int status = checkSetOptions(call); status != StatusSuccess)
            return status;
    for (qsizetype i = 1; i < call.arguments.size(); ++i) {
        if (!call.context.keptWhole(call.arguments.at(i)))
            return StatusFailure;
    }
    return StatusSuccess;
}

int runMedia(const CommandCall &call)
{
    const QString action = call.arguments.at(0);
    if (action == QLatin1String("rename"))
        return runMediaRename(call);
    if (action == QLatin1String("remove"))
        return runMediaRemove(call);
    return action == QLatin1String("list") ? mediaList(call) : mediaSet(call);
}
