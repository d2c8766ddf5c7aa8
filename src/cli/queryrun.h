#pragma once

#include "cli/clicontext.h"
#include "browse/duplicates.h"
#include "store/cataloguelistfile.h"
#include "store/rowstore.h"

#include <QStringList>
#include <map>

#include <QString>
#include <functional>

// The entries of the catalogue that match a query, for ondro-cli: the list
// file is streamed in batches, each batch matched on its own, so memory
// does not grow with the catalogue. A query that asks about duplicates
// (dup:audio, dup:song, single) costs a first pass that keeps one byte per
// entry; one about media (label, note, is:online) reads the register.
namespace QueryRun {

// A first pass over the list file: the duplicates' numbers of every entry
// and a few paths of each source (to tell whether a medium without a UUID
// is present).
class FirstPass : public CatalogueListFile::RecordVisitor
{
public:
    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override;
    Duplicates::Finder finder;
    std::map<QString, QStringList> samples;
};

// Called for each matching entry: row of batch, in catalogue order.
using Matched = std::function<void(const RowStore &batch, qsizetype row)>;

// The check of a query given to a command, before anything is read:
// StatusSuccess, or StatusUsage after a message naming the place (a
// query that is not valid UTF-8, or that does not parse).
int checkExpression(const CliContext &context, const QString &expression);

// Runs expression over the catalogue of context; returns StatusSuccess,
// StatusUsage after the parser's message ("ondro-cli: Unknown field
// "artst" at 1"), or StatusFailure after a message naming the file that
// could not be read or giving the matcher's error (a regular expression
// too costly), with what matched before it already handed on.
int forEachMatch(const CliContext &context, const QString &expression, const Matched &matched);

} // namespace QueryRun
