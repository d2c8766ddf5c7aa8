#pragma once

#include "browse/duplicates.h"
#include "browse/querytree.h"
#include "catalogue/rowstore.h"
#include "base/workprogress.h"

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// Runs a parsed query over the catalogue's rows: each row is looked at in
// place, text compared folded without building strings for plain ASCII
// (and in buffers kept per thread otherwise), so a row costs no allocation.
namespace Query {

// What a query knows beyond the rows: the media (label, note, online) and,
// when the query asks for them, each row's duplicates flags.
struct Medium
{
    QString source;
    QString label;
    QString note;
    std::optional<bool> online; // unknown for a source the register lacks
    std::optional<qint64> scanned; // seconds since 1970, when the register knows
    std::optional<qint64> verified; // the same of its last verification, when it had one
};

enum DuplicateFlag : quint8 { InAudioGroup = 1, InSongGroup = 2, OnOneMedium = 4 };

// Per row: DuplicateFlag bits. A row is on one medium ("single") when no
// copy of the same audio or song lies on another source.
std::vector<quint8> duplicateFlags(const RowStore &rows);
// The same from a finder that was given every entry.
std::vector<quint8> duplicateFlagsOf(const Duplicates::Finder &finder);

struct Context
{
    // The moment ages (mtime:<30d) count back from, seconds since 1970:
    // when the context is made, unless set.
    qint64 now = QDateTime::currentSecsSinceEpoch();
    std::vector<Medium> media;
    const std::vector<quint8> *duplicates = nullptr; // duplicateFlags of the rows, when asked for
};

class Matcher
{
public:
    // root may be null: every row matches. The context is copied; the
    // duplicates flags must outlive the matcher.
    Matcher(const Node *root, Context context);
    ~Matcher();
    Matcher(const Matcher &) = delete;
    Matcher &operator=(const Matcher &) = delete;

    // Which of the rows first to first + count - 1 (count at most 64)
    // match: bit i for row first + i. Callable from many threads at once.
    // The duplicates flags are those of the catalogue's rows from
    // catalogueFirst when given (rows is then a batch of the catalogue's
    // entries), else of the rows themselves.
    quint64 matchBits(const RowStore &rows, qsizetype first, int count, qsizetype catalogueFirst = -1) const;
    bool matches(const RowStore &rows, qsizetype row) const { return matchBits(rows, row, 1) != 0; }

    // The matching rows, ascending, worked out on several cores. Nothing
    // (and stopped set) when a stop was asked for through progress before
    // the end; nothing when the query has no answer (see error).
    std::vector<qint32> filter(const RowStore &rows, const WorkProgress *progress = nullptr,
                               bool *stopped = nullptr) const;

    // Why the rows matched so far are no answer, for the user; empty while
    // they are one. A regular expression that needs more than its budget
    // on a row, or whose rows together take more than half a second and
    // 1.5 microseconds a row of processor time: "the regular expression
    // /(.*a){25}/ is too costly (at row 17); simplify it" (rows counted
    // from 1; the catalogue's when matchBits is given catalogueFirst).
    // From then on nothing matches.
    QString error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace Query
