#pragma once

#include "base/atomicsave.h"
#include "base/filestamp.h"
#include "base/jsonfile.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// The queries a user saved under a name, kept in queries.json in the data
// folder: {"queries": [{"name": "...", "query": "..."}, ...]}. A missing
// file holds none; a file that cannot be read or is damaged is reported
// and never saved over. Keys this version does not know, in the document
// or in a query, are written back as they were read.
namespace SavedQueries {

struct Query
{
    QString name; // not empty, one query per name
    QString text; // the query as typed
    QJsonObject unknown;

    bool operator==(const Query &) const = default;
};

struct List
{
    QList<Query> queries; // in the order saved
    QJsonObject unknown;  // the document's keys beside "queries"

    const Query *find(const QString &name) const;
    // Replaces the text of the query of that name in its place, or adds
    // one at the end.
    void put(const QString &name, const QString &text);
    // False when there is no query of that name.
    bool remove(const QString &name);
    // Gives the query from the name to, in its place; false with the reason
    // (a clause) when there is none named from, or to is empty or taken.
    bool rename(const QString &from, const QString &to, QString &why);

    bool operator==(const List &) const = default;
};

using State = JsonFile::State;

struct ReadResult : JsonFile::ReadResult
{
    List list;       // empty unless Read
    QString problem; // "The saved queries /x/queries.json could not be read (reason)."
};

constexpr qint64 MaxFileBytes = qint64(4) << 20;

inline QString fileIn(const QString &dataDir)
{
    return dataDir + QStringLiteral("/queries.json");
}

ReadResult read(const QString &path);
SaveResult save(const QString &path, const List &list);

// The document as written, and the document read back: false (list left
// empty) with the reason as a clause when it is damaged.
QByteArray toJson(const List &list);
bool parse(const QByteArray &json, List &list, QString *reason = nullptr);

// Reads the file, puts (or removes) the query and saves it; a file that
// cannot be read or is damaged is left as it is, and the failure carries
// the problem. An empty name, or removing a name that is not there, fails
// the same way and saves nothing.
// A name in use is replaced only when asked to, else refused.
enum class Existing { Replace, Refuse };
SaveResult putQuery(const QString &path, const QString &name, const QString &text,
                    Existing existing = Existing::Replace);
SaveResult removeQuery(const QString &path, const QString &name);
SaveResult renameQuery(const QString &path, const QString &from, const QString &to);

// A query text with its saved queries put in: "@name" as the whole text
// (the name may hold blanks), or "@name" as a term (led by a blank, "("
// or "-", outside quotes, up to a blank, ")" or quote) replaced by
// "(text)". One level: "@" in a saved text is left to the parser.
struct Expanded
{
    QString text;
    QString error; // "There is no saved query named "x"."; text is empty then
};
Expanded expand(const QString &text, const List &list);
// The same, reading the list from path only when the text holds an "@";
// a file that cannot be read is the error.
Expanded expand(const QString &text, const QString &path);

} // namespace SavedQueries
