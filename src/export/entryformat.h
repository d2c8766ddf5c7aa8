#pragma once

#include "export/interchangeformat.h"
#include "catalogue/entrystream.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <string>

// Entries written in every format Ondro gives them, one writer each:
// tab-separated lines and a JSON array (list, find, query), CSV, JSON Lines,
// and the m3u8 and XSPF playlists (query, the exports, the desktop's
// exports). Entries are taken one at a time and handed on in blocks, so
// memory does not grow with the catalogue.
//
// Every format reads a fact one way (ExtensionLine::factNumber): decoded
// from the line's escapes, a numeric fact that is no number left out (an
// empty CSV column). JSON objects have their keys in alphabetical order;
// numbers as numbers (dur in its shortest decimal form), text facts as
// strings.
namespace EntryFormat {

enum class Format { Tabs, Json, Jsonl, Csv, M3u8, Xspf };

using Fields = InterchangeFormat::Fields;

// Takes each block written; false when it could not (the writer then
// writes nothing more).
using Sink = std::function<bool(QByteArrayView block)>;

struct Options
{
    // Whether JSON objects carry the facts of the extension line (list and
    // find print the fields alone).
    bool facts = true;
    // m3u8: paths relative to this folder (absolute, clean); empty: as stored.
    QByteArray relativeTo;
    // Where an entry's file is now, from its stored path and source; unset
    // writes the stored path.
    std::function<QString(const QString &path, const QString &source)> resolve;
};

// A stored path as the file:// URI the XSPF playlist writes for it (a DOS
// path with its drive after "file:///"), for any page that links a file.
QByteArray fileLocation(QByteArrayView path);

class Writer
{
public:
    Writer(Format format, Sink sink, Options options = {});
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Writes the head (#EXTM3U, XSPF's, the CSV header row) now; else the
    // first add or finish writes it.
    bool begin();
    // An entry; its origin goes into the JSON array's objects.
    bool add(const EntryView &entry);
    // Ends the output (the JSON array's "]", XSPF's tail) and hands it on.
    bool finish();
    // Hands on what was written, the output left open: a JSON reader sees
    // it cut short.
    bool flush();

private:
    void head();
    void appendTabs(const Fields &fields);
    void appendJson(const Fields &fields, QByteArrayView extension, EntryOrigin origin);
    void appendCsv(const Fields &fields, QByteArrayView extension);
    void appendM3u8(const Fields &fields, QByteArrayView extension, bool exactBytes);
    void appendXspf(const Fields &fields, QByteArrayView extension);

    Format m_format;
    Sink m_sink;
    Options m_options;
    std::string m_buffer;
    qsizetype m_count = 0;
    bool m_begun = false;
    bool m_ok = true;
};

} // namespace EntryFormat
