#pragma once

#include "store/rowstore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>

// How ondro-cli prints catalogue entries: one tab-separated line per entry,
// one JSON array, or CSV (RFC 4180: a header row, CR LF line ends, a value
// holding a comma, a quote or a line break quoted). Written to standard
// output in blocks, so a catalogue of a million entries never sits in
// memory twice.
namespace EntryOutput {

// Appends value with a backslash, a tab and a line break (CR LF, a lone CR
// or a lone LF) written as the two characters \\, \t and \n, and every
// other C0 control and DEL as \x and two lowercase hex digits (ESC as \x1b);
// bytes that are not UTF-8 as U+FFFD.
void appendEscaped(QByteArray &out, QByteArrayView utf8);

enum class Format { Tabs, Json, Csv };

// Whether JSON objects and CSV rows carry the facts of the entry's
// extension line after its fields: size, mtime, dur, kbps, mode, rate,
// enc, aid, est, dmg, trk, disc (ExtensionLine::FactKeys). JSON has the keys a reader of the facts finds (numbers as
// numbers); CSV has a column for each, empty when the entry lacks it.
enum class Facts { Without, With };

class Writer
{
public:
    explicit Writer(Format format, Facts facts = Facts::Without) : m_format(format), m_facts(facts) {}
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void add(const RowStore &rows, qsizetype row);
    // The same for an entry given as its nine UTF-8 fields.
    void add(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin,
             QByteArrayView extension = {});
    // Ends the output (closes the JSON array, or writes the CSV header
    // when no entry came) and flushes it.
    void finish();
    // Writes out what was added, leaving the output open.
    void flush();

private:
    void flushIfFull();
    void addTabs(const std::array<QByteArrayView, TrackFieldCount> &fields);
    void addJson(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin,
                 QByteArrayView extension);
    void addCsv(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension);
    void addCsvHeader();

    Format m_format;
    Facts m_facts;
    QByteArray m_block;
    qsizetype m_count = 0;
};

} // namespace EntryOutput
