#pragma once

#include "export/entryformat.h"
#include "base/atomicsave.h"
#include "catalogue/entrystream.h"
#include "catalogue/rowstore.h"

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

struct Options
{
    // The playlist's paths relative to the folder it is written into
    // (m3u8; the other formats write paths as stored).
    bool relative = false;
    // Where an entry's file is now, from its stored path and source; unset
    // writes the stored path.
    std::function<QString(const QString &path, const QString &source)> resolve;
};

// Writes the entries of source atomically to path. A stop, by the source
// or by progress, fails with "writing was stopped".
SaveResult save(const QString &path, Format format, const EntryStream &source, const Options &options = {},
                const SaveSystemCalls &calls = {});

} // namespace Interchange
