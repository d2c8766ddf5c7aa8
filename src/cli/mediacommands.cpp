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

// The entries of each source in the list file, and a few of their paths
// (to tell whether a medium without a UUID is present).
class SourceTally : public CatalogueListFile::RecordVisitor
{
public:
    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
    {
        ++sources[QString::fromUtf8(fields[FieldSource])];
        samples.record(fields, extension);
    }
    std::map<QString, qint64, SourceOrder> sources; // entries, listed in the register's order
    MediumSamples samples;
};

bool tallySources(const CliContext &context, SourceTally &tally)
{
    const QString file = context.catalogueFile();
    const CatalogueListFile::ReadResult read = CatalogueListFile::visit(file, tally);
    return CliIo::reportRead(file, read);
}

QJsonObject mediumJson(const QString &source, const MediaRecord *record, const MediumState *state, qint64 entries)
{
    QJsonObject object;
    if (record) {
        object = MediaRegister::objectOf(*record);
        object.insert(QStringLiteral("currentRoot"), state->currentRoot);
    }
    object.insert(QStringLiteral("source"), source);
    object.insert(QStringLiteral("online"), state ? QJsonValue(state->online) : QJsonValue());
    object.insert(QStringLiteral("entries"), double(entries));
    return object;
}

void appendMediumLine(QByteArray &out, const QString &source, const MediaRecord *record, const MediumState *state,
                      qint64 entries)
{
    const QStringList fields{source,
                             record ? record->label : QString(),
                             state ? (state->online ? QStringLiteral("online") : QStringLiteral("offline")) : QString(),
                             QString::number(entries),
                             record ? QString::number(record->bytes) : QString(),
                             record ? QString::number(record->seconds) : QString(),
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
    for (const auto &[source, entries] : tally.sources) {
        const MediaRecord *record = media.find(source);
        if (json)
            array.append(mediumJson(source, record, states.state(source), entries));
        else
            appendMediumLine(lines, source, record, states.state(source), entries);
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

int checkMedia(const CommandCall &call)
{
    const QString action = call.arguments.at(0);
    const bool list = action == QLatin1String("list");
    if (!list && action != QLatin1String("set")) {
        CliIo::error(QStringLiteral("media: unknown action \"%1\"; use list or set").arg(action));
        return StatusUsage;
    }
    if (list != (call.arguments.size() == 1)) {
        CliIo::error(list ? QStringLiteral("media list takes no source ID")
                          : QStringLiteral("media set: a source ID is required: media set ID --note TEXT"));
        return StatusUsage;
    }
    const bool codepage = call.options.isSet(QStringLiteral("codepage"));
    const bool tags = call.options.isSet(QStringLiteral("tags"));
    if (!list && !call.options.isSet(QStringLiteral("note")) && !codepage && !tags) {
        CliIo::error(QStringLiteral("media set: nothing to set; give --note TEXT, --codepage NAME or --tags "
                                    "id3v1|id3v2"));
        return StatusUsage;
    }
    if (!list && codepage && !CodePage::isKnown(call.options.value(QStringLiteral("codepage")))) {
        CliIo::error(QStringLiteral("media set: ") + CodePage::refusal(call.options.value(QStringLiteral("codepage"))));
        return StatusUsage;
    }
    if (!list && tags && !TagPreferences::isKnown(call.options.value(QStringLiteral("tags")))) {
        CliIo::error(QStringLiteral("media set: ") + TagPreferences::refusal(call.options.value(QStringLiteral("tags"))));
        return StatusUsage;
    }
    return list || call.context.keptWhole(call.arguments.at(1)) ? StatusSuccess : StatusFailure;
}

int runMedia(const CommandCall &call)
{
    return call.arguments.at(0) == QLatin1String("list") ? mediaList(call) : mediaSet(call);
}
