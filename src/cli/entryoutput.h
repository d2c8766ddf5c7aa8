#pragma once

#include "store/rowstore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <memory>

// How ondro-cli prints catalogue entries: one tab-separated line per entry,
// or one JSON array. Written to standard output in blocks, so a catalogue
// of a million entries never sits in memory twice.
namespace EntryOutput {

// Appends value with a backslash, a tab and a line break (CR LF, a lone CR
// or a lone LF) written as the two characters \\, \t and \n.
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
    // The same for the fields back to back in record, field f ending at
    // ends[f] - offset, when they are written as they are (tab-separated,
    // nothing to escape); false, and nothing added, otherwise.
    bool addPlain(QByteArrayView record, const quint32 *ends, quint32 offset);
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

// A Writer on a thread of its own, for a caller that reads the entries
// as it goes: add() copies the entry into a batch and returns, while the
// batches before it are escaped and written. A few batches at most are
// waiting at any time; add() waits when they are all full.
class ThreadedWriter
{
public:
    explicit ThreadedWriter(Format format);
    ~ThreadedWriter(); // as flush() when neither was called
    ThreadedWriter(const ThreadedWriter &) = delete;
    ThreadedWriter &operator=(const ThreadedWriter &) = delete;

    void add(const std::array<QByteArrayView, TrackFieldCount> &fields, EntryOrigin origin);
    // As Writer's; each waits until everything added is written, and
    // nothing may be added after either.
    void finish();
    void flush();

private:
    struct Shared;
    void end(bool close);

    std::unique_ptr<Shared> m_shared;
};

} // namespace EntryOutput
