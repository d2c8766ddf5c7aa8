#include "browse/savedqueries.h"

// "@name" in a query text, for both programs.
namespace SavedQueries {

namespace {

bool leadsTerm(QChar c)
{
    return c.isSpace() || c == u'(' || c == u'-';
}

bool endsName(QChar c)
{
    return c.isSpace() || c == u')' || c == u'"';
}

Expanded unknown(const QString &name)
{
    return {{}, QStringLiteral("There is no saved query named \"%1\".").arg(name)};
}

} // namespace

Expanded expand(const QString &text, const List &list)
{
    const QString whole = text.trimmed();
    if (whole.startsWith(u'@')) {
        if (const Query *query = list.find(whole.mid(1).trimmed()))
            return {query->text, {}};
    }
    Expanded expanded;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"')
            quoted = !quoted;
        if (c != u'@' || quoted || (i > 0 && !leadsTerm(text.at(i - 1)))) {
            expanded.text.append(c);
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && !endsName(text.at(end)))
            ++end;
        const QString name = text.sliced(i + 1, end - i - 1);
        if (name.isEmpty()) {
            expanded.text.append(c);
            continue;
        }
        const Query *query = list.find(name);
        if (!query)
            return unknown(name);
        expanded.text += u'(' + query->text + u')';
        i = end - 1;
    }
    return expanded;
}

Expanded expand(const QString &text, const QString &path)
{
    if (!text.contains(u'@'))
        return {text, {}};
    if (path.isEmpty())
        return expand(text, List{});
    const ReadResult read = SavedQueries::read(path);
    if (!read.usable())
        return {{}, read.problem};
    return expand(text, read.list);
}

} // namespace SavedQueries
