#include "browse/queryparser.h"
#include "browse/savedqueries.h"
#include "cli/clicommands.h"
#include "cli/savedqueryexpand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// ondro-cli queries: the saved queries of the data folder (queries.json,
// shared with the desktop's filter box), listed, saved and removed.
namespace {

const QString List = QStringLiteral("list");
const QString Save = QStringLiteral("save");
const QString Remove = QStringLiteral("remove");

int unreadable(const SavedQueries::ReadResult &read)
{
    CliIo::error(read.problem);
    return StatusFailure;
}

int listQueries(const CommandCall &call)
{
    const SavedQueries::ReadResult read = SavedQueries::read(SavedQueries::fileIn(call.context.dataDir));
    if (!read.usable())
        return unreadable(read);
    const bool json = call.options.isSet(QStringLiteral("json"));
    QJsonArray array;
    QByteArray lines;
    for (const SavedQueries::Query &query : read.list.queries) {
        if (json) {
            array.append(QJsonObject{{QStringLiteral("name"), query.name}, {QStringLiteral("query"), query.text}});
        } else {
            CliIo::appendEscaped(lines, query.name.toUtf8());
            lines += '\t';
            CliIo::appendEscaped(lines, query.text.toUtf8());
            lines += '\n';
        }
    }
    CliIo::out(json ? QJsonDocument(array).toJson(QJsonDocument::Indented) : lines);
    return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
}

int saved(const QString &path, const SaveResult &result)
{
    if (result.ok)
        return StatusSuccess;
    CliIo::error(saveFailureMessage(path, result));
    return StatusFailure;
}

// A name in use, or one not there: a usage error, with the file untouched.
int refusedName(const QString &message)
{
    CliIo::error(message);
    return StatusUsage;
}

int saveQuery(const CommandCall &call)
{
    const QString path = SavedQueries::fileIn(call.context.dataDir);
    const QString &name = call.arguments.at(1);
    const bool replace = call.options.isSet(QStringLiteral("replace"));
    const SavedQueries::ReadResult read = SavedQueries::read(path);
    if (!read.usable())
        return unreadable(read);
    if (read.list.find(name) && !replace)
        return refusedName(QStringLiteral("queries save: a saved query is already named \"%1\"; give --replace to "
                                          "replace it").arg(name));
    return saved(path, SavedQueries::putQuery(path, name, call.arguments.at(2),
                                              replace ? SavedQueries::Existing::Replace
                                                      : SavedQueries::Existing::Refuse));
}

int removeQuery(const CommandCall &call)
{
    const QString path = SavedQueries::fileIn(call.context.dataDir);
    const SavedQueries::ReadResult read = SavedQueries::read(path);
    if (!read.usable())
        return unreadable(read);
    if (!read.list.find(call.arguments.at(1)))
        return refusedName(QStringLiteral("queries remove: there is no saved query named \"%1\"")
                               .arg(call.arguments.at(1)));
    return saved(path, SavedQueries::removeQuery(path, call.arguments.at(1)));
}

} // namespace

int checkQueries(const CommandCall &call)
{
    const QString &action = call.arguments.at(0);
    const qsizetype wanted = action == List ? 1 : action == Save ? 3 : action == Remove ? 2 : -1;
    if (wanted < 0)
        return refusedName(QStringLiteral("queries: unknown action \"%1\"; use list, save or remove").arg(action));
    if (call.arguments.size() != wanted)
        return refusedName(QStringLiteral("queries: use \"queries list\", \"queries save NAME EXPR\" or "
                                          "\"queries remove NAME\""));
    if (action == List)
        return StatusSuccess;
    if (call.arguments.at(1).trimmed().isEmpty() || call.arguments.at(1) != call.arguments.at(1).trimmed())
        return refusedName(QStringLiteral("queries: a name must not be empty or start or end with a blank"));
    if (!call.context.keptWhole(call.arguments.at(1)))
        return StatusFailure;
    if (action != Save)
        return StatusSuccess;
    if (!call.context.queryIsUtf8(call.arguments.at(2)))
        return StatusUsage;
    QString expanded;
    if (const int status = expandSavedQueries(call.context, call.arguments.at(2), expanded); status != StatusSuccess)
        return status;
    if (const Query::Parsed parsed = Query::parse(expanded); !parsed.ok())
        return refusedName(QStringLiteral("queries save: ") + parsed.error);
    return StatusSuccess;
}

int runQueries(const CommandCall &call)
{
    const QString &action = call.arguments.at(0);
    return action == List ? listQueries(call) : action == Save ? saveQuery(call) : removeQuery(call);
}
