#pragma once

#include "export/interchangeformat.h"
#include "store/atomicsave.h"
#include "store/rowstore.h"
#include "store/workprogress.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>
#include <string>
#include <vector>

// The catalogue's entries in the formats other programs read: an m3u8
// playlist (UTF-8, "#EXTM3U", "#EXTINF:" seconds and "Artist - Title"),
// an XSPF 1 playlist (file:// locations, title, creator, album, duration
// in ms), CSV (RFC 4180: a header row, the nine fields then the facts)
// and JSON Lines (one object a line, the same fields and facts). Entries
// are taken one at a time and written in blocks, so memory does not grow
// with the catalogue.
namespace Interchange {

enum class Format { M3u8, Xspf, Csv, Jsonl };

using Fields = InterchangeFormat::Fields;
// Takes one entry: its nine fields and its extension line in UTF-8, the
// views lasting until the call returns; false stops the write.
using AddEntry = std::function<bool(const Fields &fields, QByteArrayView extension)>;
// Hands every entry to add, in order; false when add stopped it or the
// entries could not all be had (the write then fails).
using EntrySource = std::function<bool(const AddEntry &add)>;

struct Options
{
    // The playlist's paths relative to the folder it is written into
    // (m3u8; the other formats write paths as stored).
    bool relative = false;
    // Where an entry's file is now, from its stored path and source; unset
    // writes the stored path.
    std::function<QString(const QString &path, const QString &source)> resolve;
};

// Writes one export to a device: begin(), add() per entry, finish().
// Each returns false once the device failed.
class Writer
{
public:
    // relativeTo: the folder paths are made relative to (Options::relative).
    Writer(Format format, QIODevice &device, const Options &options = {}, const QString &relativeTo = {});
    bool begin();
    bool add(const Fields &fields, QByteArrayView extension);
    bool finish();

private:
    bool flush();
    void appendM3u8(const Fields &fields, QByteArrayView extension, bool exactBytes);
    void appendXspf(const Fields &fields, QByteArrayView extension);
    void appendCsv(const Fields &fields, QByteArrayView extension);
    void appendJson(const Fields &fields, QByteArrayView extension);

    Format m_format;
    QIODevice &m_device;
    Options m_options;
    QByteArray m_relativeTo;
    std::string m_buffer;
    bool m_ok = true;
};

// The entries of rows: all of them, or those listed, in that order, a
// step of progress after each.
EntrySource fromRows(const RowStore &rows, WorkProgress *progress = nullptr);
EntrySource fromRows(const RowStore &rows, std::vector<qsizetype> listed, WorkProgress *progress = nullptr);

// Writes the entries of source atomically to path. A stop, by the source
// or by progress, fails with "writing was stopped".
SaveResult save(const QString &path, Format format, const EntrySource &source, const Options &options = {},
                const SaveSystemCalls &calls = {});

} // namespace Interchange
