#include "browse/findstate.h"

#include "browse/matchrule.h"

namespace FindSearch {

namespace {

FindResult searchFrom(FindState &state, const RowStore &rows, qsizetype start)
{
    const qsizetype row = MatchRule::findFirst(rows, MatchRule::Matcher(state.text), start - 1);
    if (row < 0) {
        state.nextStart = 1;
        return {FindResult::Complete, -1};
    }
    state.nextStart = row + 2; // the position after the hit
    return {FindResult::Hit, row};
}

} // namespace

FindResult find(FindState &state, const QString &typed, const RowStore &rows)
{
    state.text = typed;
    if (typed.isEmpty())
        return {FindResult::Skipped, -1};
    return searchFrom(state, rows, 1);
}

FindResult findAgain(FindState &state, const RowStore &rows)
{
    return searchFrom(state, rows, std::max<qsizetype>(state.nextStart, 1));
}

} // namespace FindSearch
