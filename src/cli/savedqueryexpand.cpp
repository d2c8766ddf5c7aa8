#include "cli/savedqueryexpand.h"

#include "browse/savedqueries.h"

int expandSavedQueries(const CliContext &context, const QString &expression, QString &expanded)
{
    const SavedQueries::Expanded result =
        SavedQueries::expand(expression, SavedQueries::fileIn(context.dataDir));
    if (result.error.isEmpty()) {
        expanded = result.text;
        return StatusSuccess;
    }
    CliIo::error(result.error);
    return result.error.startsWith(QStringLiteral("There is no saved query")) ? StatusUsage : StatusFailure;
}
