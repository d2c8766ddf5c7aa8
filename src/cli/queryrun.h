#pragma once

#include "cli/clicontext.h"
#include "store/rowstore.h"

#include <QString>
#include <functional>

// The entries of the catalogue that match a query, for ondro-cli: the list
// file is streamed in batches, each batch matched on its own, so memory
// does not grow with the catalogue. A query that asks about duplicates
// (dup:audio, dup:song, single) costs a first pass that keeps one byte per
// entry; one about media (label, note, is:online) reads the register.
namespace QueryRun {

// Called for each matching entry: row of batch, in catalogue order.
using Matched = std::function<void(const RowStore &batch, qsizetype row)>;

// Runs expression over the catalogue of context; returns StatusSuccess,
// StatusUsage after the parser's message ("ondro-cli: Unknown field
// "artst" at 1"), or StatusFailure after a message naming the file that
// could not be read.
int forEachMatch(const CliContext &context, const QString &expression, const Matched &matched);

} // namespace QueryRun
