#pragma once

#include "cli/clicontext.h"
#include "browse/duplicates.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/entrystream.h"
#include "media/mediastate.h"
#include "catalogue/rowstore.h"

#include <QStringList>

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
    MediumSamples samples;
};

// A command that reads the list file twice reads both passes again when
// another program replaced the file between them, at most this many
// times in all, then gives up with changedWhileRead.
constexpr int PassAttempts = 3;

// The later pass over the list file: hands records on only when the file
// opened is the one the first pass read (its stamp, taken on the opened
// file, so nothing can slip in between the check and the read).
class LaterPass : public CatalogueListFile::RecordVisitor
{
public:
    // A catalogue that was not there at the first pass and is still not
    // there is the same (no file is opened, so opened() is not called).
    LaterPass(const FileStamp &first, CatalogueListFile::RecordVisitor &visitor)
        : m_first(first), m_visitor(visitor), m_sameFile(!first.exists)
    {
    }
    void opened(const FileStamp &stamp) override { m_sameFile = stamp == m_first; }
    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
    {
        if (m_sameFile)
            m_visitor.record(fields, extension);
    }
    bool sameFile() const { return m_sameFile; }

private:
    FileStamp m_first;
    CatalogueListFile::RecordVisitor &m_visitor;
    bool m_sameFile;
};

// What to tell the user when every attempt found the file replaced.
QString changedWhileRead(const QString &file);

// Takes each matching entry, in catalogue order; once it returns false the
// rest are passed over.
using Matched = EntrySink;

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
