#include "browse/savedqueries.h"


#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace SavedQueries {

namespace {

const QString QueriesKey = QStringLiteral("queries");
const QString NameKey = QStringLiteral("name");
const QString TextKey = QStringLiteral("query");

// One entry of "queries"; false with the reason when it is damaged: not an
// object, a name or query that is missing or not text, an empty name.
bool parseQuery(const QJsonValue &value, qsizetype index, Query &query, QString &reason)
{
    const QJsonObject object = value.toObject();
    const QJsonValue name = object.value(NameKey);
    const QJsonValue text = object.value(TextKey);
    if (!value.isObject() || !name.isString() || name.toString().isEmpty() || !text.isString()) {
        reason = QStringLiteral("its query %1 is damaged").arg(index + 1);
        return false;
    }
    query.name = name.toString();
    query.text = text.toString();
    query.unknown = object;
    query.unknown.remove(NameKey);
    query.unknown.remove(TextKey);
    return true;
}

SaveResult refused(const QString &why)
{
    SaveResult result;
    result.ok = false;
    result.error = why;
    result.previousKept = true;
    return result;
}

// Reads path, lets change edit the list (false: nothing to save, with the
// reason) and saves it; a file that is not usable is left alone.
template<typename Change>
SaveResult update(const QString &path, Change change)
{
    ReadResult read = SavedQueries::read(path);
    if (!read.usable())
        return refused(read.problem);
    QString why;
    if (!change(read.list, why))
        return refused(why);
    return save(path, read.list);
}

} // namespace

const Query *List::find(const QString &name) const
{
    for (const Query &query : queries) {
        if (query.name == name)
            return &query;
    }
    return nullptr;
}

void List::put(const QString &name, const QString &text)
{
    for (Query &query : queries) {
        if (query.name == name) {
            query.text = text;
            return;
        }
    }
    queries.append({name, text, {}});
}

bool List::remove(const QString &name)
{
    return queries.removeIf([&](const Query &query) { return query.name == name; }) > 0;
}

bool List::rename(const QString &from, const QString &to, QString &why)
{
    const Query *existing = find(from);
    if (!existing)
        why = QStringLiteral("there is no saved query named \"%1\"").arg(from);
    else if (to.isEmpty())
        why = QStringLiteral("a saved query needs a name");
    else if (to != from && find(to))
        why = QStringLiteral("a saved query is already named \"%1\"").arg(to);
    if (!why.isEmpty())
        return false;
    const_cast<Query *>(existing)->name = to;
    return true;
}

bool parse(const QByteArray &json, List &list, QString *reason)
{
    list = {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    QString why;
    const QJsonValue queries = document.object().value(QueriesKey);
    if (error.error != QJsonParseError::NoError) {
        why = QStringLiteral("it is not valid JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset);
    } else if (!document.isObject() || !(queries.isArray() || queries.isUndefined())) {
        why = QStringLiteral("it does not hold an object with a list of queries");
    } else {
        const QJsonArray array = queries.toArray();
        for (qsizetype i = 0; i < array.size() && why.isEmpty(); ++i) {
            Query query;
            if (!parseQuery(array.at(i), i, query, why))
                break;
            if (list.find(query.name))
                why = QStringLiteral("two queries are named \"%1\"").arg(query.name);
            list.queries.append(std::move(query));
        }
        list.unknown = document.object();
        list.unknown.remove(QueriesKey);
    }
    if (why.isEmpty())
        return true;
    list = {};
    if (reason)
        *reason = why;
    return false;
}

QByteArray toJson(const List &list)
{
    QJsonArray queries;
    for (const Query &query : list.queries) {
        QJsonObject object = query.unknown;
        object.insert(NameKey, query.name);
        object.insert(TextKey, query.text);
        queries.append(object);
    }
    QJsonObject document = list.unknown;
    document.insert(QueriesKey, queries);
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

ReadResult read(const QString &path)
{
    ReadResult result;
    static_cast<JsonFile::ReadResult &>(result) = JsonFile::read(
        path, MaxFileBytes, [&result](const QByteArray &json, QString *reason) { return parse(json, result.list, reason); });
    if (!result.usable()) {
        result.problem = QStringLiteral("The saved queries %1 could not be read (%2).")
                             .arg(QDir::toNativeSeparators(path), result.reason);
    }
    return result;
}

SaveResult save(const QString &path, const List &list)
{
    return JsonFile::save(path, toJson(list), MaxFileBytes);
}

SaveResult putQuery(const QString &path, const QString &name, const QString &text, Existing existing)
{
    return update(path, [&](List &list, QString &why) {
        if (name.isEmpty()) {
            why = QStringLiteral("a saved query needs a name");
            return false;
        }
        if (existing == Existing::Refuse && list.find(name)) {
            why = QStringLiteral("a saved query is already named \"%1\"").arg(name);
            return false;
        }
        list.put(name, text);
        return true;
    });
}

SaveResult removeQuery(const QString &path, const QString &name)
{
    return update(path, [&](List &list, QString &why) {
        if (list.remove(name))
            return true;
        why = QStringLiteral("there is no saved query named \"%1\"").arg(name);
        return false;
    });
}

SaveResult renameQuery(const QString &path, const QString &from, const QString &to)
{
    return update(path, [&](List &list, QString &why) { return list.rename(from, to, why); });
}

} // namespace SavedQueries
