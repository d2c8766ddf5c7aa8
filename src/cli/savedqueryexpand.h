#pragma once

#include "cli/clicontext.h"

#include <QString>

// "@name" in a query given to a command: the saved queries of the data
// folder ("queries.json") put in (SavedQueries::expand). StatusSuccess
// with expanded set, StatusUsage after a message for a name not saved, or
// StatusFailure after one for a queries.json that cannot be read.
int expandSavedQueries(const CliContext &context, const QString &expression, QString &expanded);
