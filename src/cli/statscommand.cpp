#include "browse/statistics.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/queryrun.h"
#include "catalogue/cataloguelistfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// ondro-cli stats: the figures of the catalogue, or of the entries that
// match a query, the list file streamed so memory does not grow with it.
namespace {

// The breakdowns asked for: the one of --by, or all.
QList<Statistics::Breakdown> chosen(const CommandCall &call)
{
    const QString by = call.options.value(QStringLiteral("by"));
    if (const auto breakdown = Statistics::breakdownNamed(by))
        return {*breakdown};
    return {Statistics::Breakdowns.begin(), Statistics::Breakdowns.end()};
}

void appendLine(QByteArray &out, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += '\t';
        CliIo::appendEscaped(out, fields.at(i).toUtf8());
    }
    out += '\n';
}

// The summary (a name and a number per line), then a line per value of
// each breakdown: breakdown, value, entries, bytes, seconds.
QByteArray textOf(const Statistics::Report &report, const QList<Statistics::Breakdown> &breakdowns)
{
    QByteArray out;
    const auto number = [](qint64 n) { return QString::number(n); };
    appendLine(out, {QStringLiteral("entries"), number(report.entries)});
    appendLine(out, {QStringLiteral("bytes"), number(report.bytes)});
    appendLine(out, {QStringLiteral("withoutSize"), number(report.withoutSize)});
    appendLine(out, {QStringLiteral("seconds"), Statistics::seconds(report.tenths)});
    appendLine(out, {QStringLiteral("withoutDuration"), number(report.withoutDuration)});
    for (const Statistics::Breakdown breakdown : breakdowns) {
        for (const Statistics::Line &line : report.lines(breakdown))
            appendLine(out, {Statistics::name(breakdown), line.key, number(line.entries), number(line.bytes),
                             Statistics::seconds(line.tenths)});
    }
    return out;
}

QJsonObject jsonOf(const Statistics::Report &report, const QList<Statistics::Breakdown> &breakdowns)
{
    QJsonObject by;
    for (const Statistics::Breakdown breakdown : breakdowns) {
        QJsonArray lines;
        for (const Statistics::Line &line : report.lines(breakdown))
            lines.append(QJsonObject{{QStringLiteral("key"), line.key},
                                     {QStringLiteral("entries"), line.entries},
                                     {QStringLiteral("bytes"), line.bytes},
                                     {QStringLiteral("seconds"), double(line.tenths) / 10}});
        by.insert(Statistics::name(breakdown), lines);
    }
    return {{QStringLiteral("entries"), report.entries},
            {QStringLiteral("bytes"), report.bytes},
            {QStringLiteral("withoutSize"), report.withoutSize},
            {QStringLiteral("seconds"), double(report.tenths) / 10},
            {QStringLiteral("withoutDuration"), report.withoutDuration},
            {QStringLiteral("by"), by}};
}

} // namespace

int checkStats(const CommandCall &call)
{
    const QString by = call.options.value(QStringLiteral("by"));
    if (call.options.isSet(QStringLiteral("by")) && !Statistics::breakdownNamed(by)) {
        CliIo::error(QStringLiteral("stats: unknown breakdown \"%1\"; use source, genre, decade, kbps, mode or enc")
                         .arg(by));
        return StatusUsage;
    }
    return call.arguments.isEmpty() ? StatusSuccess : QueryRun::checkExpression(call.context, call.arguments.first());
}

int runStats(const CommandCall &call)
{
    Statistics::Tally tally;
    const EntrySink tallied = [&tally](const EntryView &entry) {
        tally.add(entry.fields, entry.extension);
        return true;
    };
    if (call.arguments.isEmpty()) {
        const QString file = call.context.catalogueFile();
        CatalogueListFile::ReadResult read;
        CatalogueListFile::stream(file, read)(tallied);
        if (!CliIo::reportRead(file, read))
            return StatusFailure;
    } else if (const int status = QueryRun::forEachMatch(call.context, call.arguments.first(), tallied);
               status != StatusSuccess) {
        return status;
    }
    const Statistics::Report report = tally.report();
    if (call.options.isSet(QStringLiteral("json")))
        CliIo::out(QJsonDocument(jsonOf(report, chosen(call))).toJson(QJsonDocument::Indented));
    else
        CliIo::out(textOf(report, chosen(call)));
    if (!CliIo::finishOutput())
        return StatusFailure;
    return report.entries > 0 ? StatusSuccess : StatusNothingFound;
}
