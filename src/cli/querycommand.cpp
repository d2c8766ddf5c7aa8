#include "cli/clicommands.h"
#include "export/entryformat.h"
#include "cli/queryrun.h"

// ondro-cli query: the entries that match a query, printed as list prints
// them, or as JSON or CSV with their facts. The list file is streamed (see
// QueryRun), each match written as it is found.
namespace {

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
    return QueryRun::checkExpression(call.context, call.arguments.at(0));
}

int runQuery(const CommandCall &call)
{
    EntryFormat::Writer writer(formatOf(call.options), CliIo::outBlock);
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
