#pragma once

#include "store/rowstore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>

// How ondro-cli prints catalogue entries: one tab-separated line per entry,
// or one JSON array. Written to standard output in blocks, so a catalogue
// of a million entries never sits in memory twice.
namespace EntryOutput {

// Appends value with a backslash, a tab and a line break (CR LF, a lone CR
// or a lone LF) written as the two characters \\, \t and \n, and every
// other C0 control and DEL as \x and two lowercase hex digits (ESC as \x1b).
void appendEscaped(QByteArray &out, QByteArrayView utf8);

enum class Format { Tabs, Json };

class Writer
{
public:
    explicit Writer(Format format) : m_format(format) {}
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void add(const RowStore &rows, qsizetype row);
    // The same for an entry given as its nine UTF-8 fields.
    void add(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin);
    // Ends the output (closes the JSON array) and flushes it.
    void finish();
    // Writes out what was added, leaving the output open.
    void flush();

private:
    void flushIfFull();

    Format m_format;
    QByteArray m_block;
    qsizetype m_count = 0;
};

} // namespace EntryOutput
