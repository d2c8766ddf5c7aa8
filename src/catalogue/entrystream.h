#pragma once

#include "catalogue/rowstore.h"
#include "base/workprogress.h"

#include <QByteArrayView>
#include <array>
#include <functional>
#include <vector>

// The one way entries are handed on one at a time, from the list file, a
// library or the rows in memory to whatever takes them: the commands that
// walk the catalogue, the exports and the libraries. Nothing is kept, so
// memory does not grow with the catalogue.

// An entry: its nine fields and extension line in UTF-8 and its origin;
// the views last until the call it is handed to returns.
struct EntryView
{
    std::array<QByteArrayView, TrackFieldCount> fields;
    QByteArrayView extension;
    EntryOrigin origin = EntryOrigin::Own;

    static EntryView of(const RowStore &rows, qsizetype row);
};

// Takes one entry; false stops the stream.
using EntrySink = std::function<bool(const EntryView &entry)>;
// Hands every entry to a sink, in order; false when the sink stopped it or
// the entries could not all be had.
using EntryStream = std::function<bool(const EntrySink &sink)>;
// The entries of rows: all of them, or those listed, in that order, a
// step of progress after each (a stop ends the stream).
EntryStream streamOf(const RowStore &rows, WorkProgress *progress = nullptr);
EntryStream streamOf(const RowStore &rows, std::vector<qsizetype> listed, WorkProgress *progress = nullptr);
