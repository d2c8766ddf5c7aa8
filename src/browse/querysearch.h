#pragma once

#include "browse/querymatcher.h"
#include "catalogue/rowstore.h"

#include <QString>
#include <vector>

// The search of the Query window: a plain text is looked for in the paths
// (MatchRule, as it always was); a text written in the query language is
// run as a query, with what the filter box knows of the media.
namespace QuerySearch {

// Whether the text is written in the query language: it holds a field
// ("artist:", two letters or more, so "C:\" stays a path), an operator (OR,
// AND, NOT as capitals, a word led by "-"), a parenthesis, a quote or a
// saved query's "@name".
bool looksLikeQuery(const QString &text);

struct Scope
{
    Query::Context context;  // the media; the duplicates flags are worked out when asked for
    QString savedQueriesPath; // queries.json, for "@name"; none when empty
};

struct Outcome
{
    std::vector<qsizetype> rows; // the matches, in catalogue order
    QString error;               // the parser's or the matcher's message; no rows then
};

Outcome run(const RowStore &rows, const QString &text, const Scope &scope);

} // namespace QuerySearch
