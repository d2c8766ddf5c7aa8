#include "browse/querysearch.h"

#include "browse/matchrule.h"
#include "browse/queryparser.h"
#include "browse/savedqueries.h"

namespace QuerySearch {

namespace {

bool startsWord(const QString &text, qsizetype i)
{
    return i == 0 || text.at(i - 1).isSpace() || text.at(i - 1) == u'(';
}

bool isOperator(QStringView word)
{
    return word == u"OR" || word == u"AND" || word == u"NOT";
}

} // namespace

bool looksLikeQuery(const QString &text)
{
    qsizetype letters = 0; // of the word so far
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'(' || c == u')' || c == u'"')
            return true;
        if ((c == u'-' || c == u'@') && startsWord(text, i) && i + 1 < text.size() && !text.at(i + 1).isSpace())
            return true;
        if (c == u':' && letters >= 2)
            return true;
        if (c.isLetter()) {
            ++letters;
        } else {
            if (c.isSpace() && isOperator(QStringView(text).sliced(i - letters, letters)))
                return true;
            letters = 0;
        }
    }
    return isOperator(QStringView(text).last(letters));
}

Outcome run(const RowStore &rows, const QString &text, const Scope &scope)
{
    Outcome outcome;
    if (!looksLikeQuery(text)) {
        outcome.rows = MatchRule::matchingRows(rows, text);
        return outcome;
    }
    const SavedQueries::Expanded expanded = SavedQueries::expand(text, scope.savedQueriesPath);
    if (!expanded.error.isEmpty()) {
        outcome.error = expanded.error;
        return outcome;
    }
    const Query::Parsed parsed = Query::parse(expanded.text);
    if (!parsed.ok()) {
        outcome.error = parsed.error;
        return outcome;
    }
    Query::Context context = scope.context;
    std::vector<quint8> duplicates;
    if (Query::usesDuplicates(parsed.root.get())) {
        duplicates = Query::duplicateFlags(rows);
        context.duplicates = &duplicates;
    }
    const Query::Matcher matcher(parsed.root.get(), std::move(context));
    const std::vector<qint32> matched = matcher.filter(rows);
    outcome.error = matcher.error();
    if (outcome.error.isEmpty())
        outcome.rows.assign(matched.begin(), matched.end());
    return outcome;
}

} // namespace QuerySearch
