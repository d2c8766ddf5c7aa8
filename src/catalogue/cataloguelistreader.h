#pragma once

#include "base/bytescan.h"
#include "catalogue/cataloguelistfile.h"
#include "base/textcodec.h"

#include <array>

// The parts of the list file's reader that its writer uses too, to add
// records to a file it has to read first.
namespace CatalogueListFile {

constexpr int LinesPerRecord = 11;
// What an extension line (line 10 of a record) starts with.
constexpr QByteArrayView ExtensionPrefix = "ondro:";

// Whether the last record of a file, of this many lines (none to eleven),
// is kept whole: the end of the file may cut off its two empty lines
// (editors strip them), while inside its nine fields it is damage.
constexpr bool lastRecordWhole(qint64 lines)
{
    return lines == 0 || lines >= TrackFieldCount;
}

// The reason of a file whose last record is not whole.
QString endsInsideRecord();

// Cuts records out of the file's bytes as they arrive. A record's lines
// are found once each, even when the record arrives over many blocks:
// what was found is kept as offsets from the record's first byte.
class RecordParser : public SafeFileRead::BlockSink
{
public:
    RecordParser(ReadResult &result, RecordVisitor &visitor);

    void opened(const FileStamp &stamp) override { m_visitor.opened(stamp); }
    qsizetype consume(QByteArrayView bytes, bool atEnd) override;

    // The record being handed on, as its bytes in the file (its lines with
    // their line ends; the last record of a file may lack some), and the
    // number of its lines.
    QByteArrayView recordBytes() const { return m_record; }
    int recordLines() const { return m_recordLines; }

private:
    // How far the record being cut is: its lines found so far, and, from
    // the record's start, where the line being cut starts and where the
    // search for its end goes on.
    struct Cut
    {
        int lines = 0;
        qsizetype line = 0;
        qsizetype scan = 0;
    };

    bool cutLines(const char *start, const char *end, bool atEnd, ByteScan::LineEndFinder &lineEnds, Cut &cut);
    void append(const char *record, qsizetype length, int lines);

    ReadResult &m_result;
    RecordVisitor &m_visitor;
    Cut m_cut;
    std::array<qsizetype, LinesPerRecord> m_begin{};
    std::array<qsizetype, LinesPerRecord> m_length{};
    std::array<QByteArray, TrackFieldCount> m_converted;
    std::array<QByteArrayView, TrackFieldCount> m_fields; // kept: made anew per record, it costs a fill
    QByteArrayView m_record;
    int m_recordLines = 0;
};

// Counts the lines of a file as the reader cuts them, and hands its bytes
// on to a copy when there is one. The copy stops at the first bytes that
// are not UTF-8: such a file is copied record by record instead.
class LineCounter : public SafeFileRead::BlockSink
{
public:
    explicit LineCounter(QIODevice *copy = nullptr, const FileStamp *expected = nullptr)
        : m_copy(copy), m_expected(expected)
    {
    }

    void opened(const FileStamp &stamp) override { m_sameFile = !m_expected || stamp == *m_expected; }
    qsizetype consume(QByteArrayView bytes, bool) override;

    bool sameFile() const { return m_sameFile; }
    bool copyFailed() const { return m_copyFailed; }
    // Whether the bytes copied are UTF-8 (the copy is whole only then).
    bool copiedUtf8() const { return m_utf8.valid(); }
    qint64 bytes() const { return m_bytes; }
    // A last line without a line end is a line too.
    qint64 lines() const { return m_ends + (m_bytes > 0 && !m_lastIsEnd ? 1 : 0); }
    bool lastLineEnded() const { return m_bytes == 0 || m_lastIsEnd; }
    qint64 lastRecordLines() const { return lines() % LinesPerRecord; }
    bool whole() const { return lastRecordWhole(lastRecordLines()); }
    // The records the reader would keep.
    qsizetype records() const { return qsizetype((lines() + (whole() ? LinesPerRecord - 1 : 0)) / LinesPerRecord); }

private:
    QIODevice *m_copy;
    const FileStamp *m_expected;
    bool m_sameFile = true;
    bool m_copyFailed = false;
    TextCodec::Utf8Stream m_utf8;
    bool m_afterCR = false;
    bool m_lastIsEnd = false;
    qint64 m_ends = 0;
    qint64 m_bytes = 0;
};

} // namespace CatalogueListFile
