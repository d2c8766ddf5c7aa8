#include "browse/duplicates.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/queryrun.h"
#include "cli/scanrun.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/extensionline.h"
#include "media/mediastate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <optional>
#include <unordered_map>

// ondro-cli duplicates: the groups of copies of the same audio or the same
// song. The list file is read twice, holding only a few numbers per entry:
// once to find the groups, once for the fields of their copies.
namespace {

struct Copy
{
    QString source, path, artist, title, duration, aid;
};

// The second pass: the fields of the entries in groups.
class CopyFeed : public CatalogueListFile::RecordVisitor
{
public:
    explicit CopyFeed(std::unordered_map<qsizetype, Copy> &wanted) : m_wanted(wanted) {}
    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
    {
        const auto it = m_wanted.find(m_row++);
        if (it == m_wanted.end())
            return;
        const auto text = [](QByteArrayView bytes) { return QString::fromUtf8(bytes); };
        // The facts read as every reader reads them: dur in tenths, as the scan writes it.
        const auto tenths = ExtensionLine::factNumber(ExtensionLine::rawValue(extension, "dur"), ExtensionLine::Dur);
        it->second = {text(fields[FieldSource]), text(fields[FieldFilename]), text(fields[FieldArtist]),
                      text(fields[FieldTrack]),
                      tenths ? QStringLiteral("%1.%2").arg(*tenths / 10).arg(*tenths % 10) : QString(),
                      text(ExtensionLine::textValue(extension, "aid"))};
    }

private:
    std::unordered_map<qsizetype, Copy> &m_wanted;
    qsizetype m_row = 0;
};

struct Found
{
    Duplicates::Kind kind;
    std::vector<Duplicates::Group> groups;
};

QString kindName(Duplicates::Kind kind)
{
    return kind == Duplicates::Kind::Audio ? QStringLiteral("audio") : QStringLiteral("song");
}

QString stateText(const MediaStates &states, const QString &source)
{
    const MediumState *state = states.state(source);
    return !state ? QString() : state->online ? QStringLiteral("online") : QStringLiteral("offline");
}

// Tab-separated lines, escaped as entries are: kind, group number, source,
// online state, playing time, artist, title, path.
QByteArray groupLines(const std::vector<Found> &found, const std::unordered_map<qsizetype, Copy> &copies,
                      const MediaStates &states)
{
    QByteArray out;
    for (const Found &kind : found) {
        int number = 0;
        for (const Duplicates::Group &group : kind.groups) {
            ++number;
            for (const qsizetype row : group.rows) {
                const Copy &c = copies.at(row);
                const QStringList fields{kindName(kind.kind), QString::number(number), c.source,
                                         stateText(states, c.source), c.duration, c.artist, c.title, c.path};
                for (qsizetype i = 0; i < fields.size(); ++i) {
                    if (i > 0)
                        out += '\t';
                    CliIo::appendEscaped(out, fields.at(i).toUtf8());
                }
                out += '\n';
            }
        }
    }
    return out;
}

QJsonArray groupsJson(const std::vector<Found> &found, const std::unordered_map<qsizetype, Copy> &copies,
                      const MediaStates &states)
{
    QJsonArray array;
    for (const Found &kind : found) {
        for (const Duplicates::Group &group : kind.groups) {
            QJsonArray members;
            for (const qsizetype row : group.rows) {
                const Copy &c = copies.at(row);
                const MediumState *state = states.state(c.source);
                members.append(QJsonObject{{QStringLiteral("source"), c.source},
                                           {QStringLiteral("online"), state ? QJsonValue(state->online) : QJsonValue()},
                                           {QStringLiteral("filename"), c.path},
                                           {QStringLiteral("artist"), c.artist},
                                           {QStringLiteral("track"), c.title},
                                           {QStringLiteral("dur"), c.duration.isEmpty() ? QJsonValue() : QJsonValue(c.duration.toDouble())},
                                           {QStringLiteral("aid"), c.aid}});
            }
            array.append(QJsonObject{{QStringLiteral("kind"), kindName(kind.kind)}, {QStringLiteral("copies"), members}});
        }
    }
    return array;
}

} // namespace

int checkDuplicates(const CommandCall &call)
{
    const QString kind = call.options.value(QStringLiteral("kind"));
    if (call.options.isSet(QStringLiteral("kind")) && kind != QLatin1String("audio") && kind != QLatin1String("song")) {
        CliIo::error(QStringLiteral("duplicates: unknown kind \"%1\"; use audio or song").arg(kind));
        return StatusUsage;
    }
    return StatusSuccess;
}

namespace {

// Both passes once; nullopt when the file was replaced between them.
std::optional<int> findOnce(const CommandCall &call)
{
    const QString file = call.context.catalogueFile();
    QueryRun::FirstPass feed;
    MediaRegister media;
    const CatalogueListFile::ReadResult first = CatalogueListFile::visit(file, feed);
    if (!CliIo::reportRead(file, first) || !ScanRun::readRegister(call.context, media))
        return StatusFailure;

    std::vector<Found> found;
    const QString kind = call.options.value(QStringLiteral("kind"));
    for (const Duplicates::Kind k : {Duplicates::Kind::Audio, Duplicates::Kind::Song}) {
        if (kind.isEmpty() || kind == kindName(k))
            found.push_back({k, feed.finder.groups(k)});
    }
    std::unordered_map<qsizetype, Copy> copies;
    for (const Found &f : found) {
        for (const Duplicates::Group &group : f.groups) {
            for (const qsizetype row : group.rows)
                copies.try_emplace(row);
        }
    }
    if (copies.empty())
        return StatusNothingFound;
    if (call.context.betweenPasses)
        call.context.betweenPasses();
    CopyFeed copyFeed(copies);
    QueryRun::LaterPass later(first.stamp, copyFeed);
    if (!CliIo::reportRead(file, CatalogueListFile::visit(file, later)))
        return StatusFailure;
    if (!later.sameFile())
        return std::nullopt;

    const MediaStates states = MediaStates::mountedNow(media, feed.samples);
    if (call.options.isSet(QStringLiteral("json")))
        CliIo::out(QJsonDocument(groupsJson(found, copies, states)).toJson(QJsonDocument::Indented));
    else
        CliIo::out(groupLines(found, copies, states));
    return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
}

} // namespace

int runDuplicates(const CommandCall &call)
{
    for (int attempt = 0; attempt < QueryRun::PassAttempts; ++attempt) {
        if (const std::optional<int> status = findOnce(call))
            return *status;
    }
    CliIo::error(QueryRun::changedWhileRead(call.context.catalogueFile()));
    return StatusFailure;
}
