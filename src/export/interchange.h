#pragma once

#include "export/entryformat.h"
#include "store/atomicsave.h"
#include "store/rowstore.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>
#include <string>
#include <vector>

// The catalogue's entries saved in the formats other programs read: an
// m3u8 playlist (UTF-8, "#EXTM3U", "#EXTINF:" seconds and "Artist -
// Title"), an XSPF 1 playlist (file:// locations, title, creator, album,
// duration in ms), CSV (RFC 4180: a header row, the nine fields then the
// facts) and JSON Lines (one object a line, the same fields and facts),
// each written by EntryFormat as the entries come.
namespace Interchange {

using Format = EntryFormat::Format;
using Fields = EntryFormat::Fields;
// Takes one entry: its nine fields and its extension line in UTF-8, the
// views lasting until the call returns; false stops the write.
using AddEntry = std::function<bool(const Fields &fields, QByteArrayView extension)>;
// Hands every entry to add, in order; false when add stopped it or the
// entries could not all be had (the write then fails).
using EntrySource = std::function<bool(const AddEntry &add)>;
// After entry i (1-based) of n; false stops the write.
using Progress = std::function<bool(qsizetype i, qsizetype n)>;

struct Options
{
    // The playlist's paths relative to the folder it is written into
    // (m3u8; the other formats write paths as stored).
    bool relative = false;
    // Where an entry's file is now, from its stored path and source; unset
    // writes the stored path.
    std::function<QString(const QString &path, const QString &source)> resolve;
};

// The entries of rows: all of them, or those listed, in that order.
EntrySource fromRows(const RowStore &rows, const Progress &progress = {});
EntrySource fromRows(const RowStore &rows, std::vector<qsizetype> listed, const Progress &progress = {});

// Writes the entries of source atomically to path. A stop, by the source
// or by progress, fails with "writing was stopped".
SaveResult save(const QString &path, Format format, const EntrySource &source, const Options &options = {},
                const SaveSystemCalls &calls = {});

} // namespace Interchange
