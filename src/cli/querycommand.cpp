#include "cli/clicommands.h"
#include "export/entryformat.h"
#include "cli/queryrun.h"
#include "cli/querysort.h"

// ondro-cli query: the entries that match a query, printed as list prints
// them, or as JSON or CSV with their facts. The list file is streamed (see
// QueryRun), each match written as it is found; with --sort the matches
// alone are held, then written in order.
namespace {

const QString SortOption = QStringLiteral("sort");

EntryFormat::Format formatOf(const QCommandLineParser &options)
{
    if (options.isSet(QStringLiteral("json")))
        return EntryFormat::Format::Json;
    return options.isSet(QStringLiteral("csv")) ? EntryFormat::Format::Csv : EntryFormat::Format::Tabs;
}

} // namespace

int checkQuery(const CommandCall &call)
{
    if (call.options.isSet(QStringLiteral("json")) && call.options.isSet(QStringLiteral("csv"))) {
        CliIo::error(QStringLiteral("query: --json and --csv cannot be given together"));
        return StatusUsage;
    }
    if (call.options.isSet(SortOption)) {
        QString error;
        if (QuerySort::keysOf(call.options.value(SortOption), &error).empty()) {
            CliIo::error(QStringLiteral("query: ") + error);
            return StatusUsage;
        }
    }
    return QueryRun::checkExpression(call.context, call.arguments.at(0));
}

namespace {

// The matches held, sorted, then written; nothing is written when the
// catalogue could not be read whole (a sorted part would mislead).
int runSorted(const CommandCall &call, EntryFormat::Writer &writer)
{
    QString error;
    const std::vector<QuerySort::Key> keys = QuerySort::keysOf(call.options.value(SortOption), &error);
    RowStore matches;
    const int status = QueryRun::forEachMatch(call.context, call.arguments.at(0), [&](const EntryView &entry) {
        matches.appendUtf8(entry.fields, entry.origin, entry.extension);
        return true;
    });
    if (status != StatusSuccess)
        return status;
    for (const qsizetype row : QuerySort::order(matches, keys))
        writer.add(EntryView::of(matches, row));
    writer.finish();
    return matches.size() == 0 ? StatusNothingFound : StatusSuccess;
}

} // namespace

int runQuery(const CommandCall &call)
{
    EntryFormat::Writer writer(formatOf(call.options), CliIo::outBlock);
    if (call.options.isSet(SortOption))
        return runSorted(call, writer);
    qsizetype found = 0;
    const int status = QueryRun::forEachMatch(call.context, call.arguments.at(0),
                                              [&](const EntryView &entry) {
                                                  writer.add(entry);
                                                  ++found;
                                                  return true;
                                              });
    if (status == StatusUsage) // the query did not parse: nothing was printed
        return status;
    if (status != StatusSuccess) {
        // What matched before the read failed, left unclosed: a JSON
        // reader sees it cut short.
        writer.flush();
        return status;
    }
    writer.finish();
    return found == 0 ? StatusNothingFound : StatusSuccess;
}
