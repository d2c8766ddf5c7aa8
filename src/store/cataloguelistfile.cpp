#include "store/cataloguelistfile.h"

#include "store/linescan.h"
#include "store/platform/systempaths.h"
#include "store/rowlinewriter.h"
#include "store/textcodec.h"

#include <QDir>
#include <QFile>

#include <cstring>

namespace CatalogueListFile {

namespace {

constexpr int LinesPerRecord = 11;

QString endsInsideRecord()
{
    return QStringLiteral("the file ends inside a record");
}

// Finds the line ends of one block in order. Most lines of a record are
// short, so the CR and LF bytes of 64 bytes are found at once, as a bit
// mask, and each line end is then one bit scan.
class LineEndFinder
{
public:
    explicit LineEndFinder(const char *end) : m_end(end) {}

    // The first CR or LF in [p, end); p never moves backwards.
    const char *find(const char *p)
    {
#if defined(__SSE2__)
        for (;;) {
            if (m_window != nullptr && p >= m_window && p < m_window + Window) {
                const quint64 bits = m_mask >> (p - m_window);
                if (bits != 0)
                    return p + __builtin_ctzll(bits);
                p = m_window + Window;
            }
            if (m_end - p < Window)
                break;
            m_window = p;
            m_mask = lineEndMask(p);
        }
        m_window = nullptr;
#endif
        return LineScan::findLineEnd(p, m_end);
    }

private:
    static constexpr qsizetype Window = 64;

#if defined(__SSE2__)
    static quint64 lineEndMask(const char *p)
    {
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        quint64 mask = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
            const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
            mask |= quint64(quint16(m)) << (16 * i);
        }
        return mask;
    }
#endif

    const char *m_end;
    const char *m_window = nullptr; // where the 64 bytes of m_mask start
    quint64 m_mask = 0;
};

// Cuts records out of the file's bytes as they arrive. A record's lines
// are found once each, even when the record arrives over many blocks:
// what was found is kept as offsets from the record's first byte.
class RecordParser : public SafeFileRead::BlockSink
{
public:
    RecordParser(ReadResult &result, RecordVisitor &visitor) : m_result(result), m_visitor(visitor)
    {
        m_result.state = ReadState::Whole;
    }

    void opened(const FileStamp &stamp) override { m_visitor.opened(stamp); }

    // The record being handed on, as its bytes in the file (its lines with
    // their line ends; the last record of a file may lack some), and the
    // number of its lines.
    QByteArrayView recordBytes() const { return m_record; }
    int recordLines() const { return m_recordLines; }

    qsizetype consume(QByteArrayView bytes, bool atEnd) override
    {
        const char *const data = bytes.data();
        const char *const end = data + bytes.size();
        LineEndFinder lineEnds(end);
        // Worked on in locals, which the visitor's calls cannot change, and
        // kept in the members when more bytes are needed.
        int lines = m_lines;
        qsizetype lineAt = m_line, scanAt = m_scan;
        const auto keep = [&](qsizetype record) {
            m_lines = lines;
            m_line = lineAt;
            m_scan = scanAt;
            return record;
        };
        qsizetype record = 0; // start of the record being cut
        for (;;) {
            const char *const start = data + record;
            while (lines < LinesPerRecord) {
                const char *line = start + lineAt;
                if (line == end)
                    break;
                const char *q = lineEnds.find(start + scanAt);
                const char *next;
                if (q == end) {
                    if (!atEnd) { // the line goes on in the next block
                        scanAt = end - start;
                        return keep(record);
                    }
                    next = end;
                } else if (*q == '\r') {
                    if (q + 1 == end && !atEnd) {
                        // An LF in the next block would belong to this CR.
                        scanAt = q - start;
                        return keep(record);
                    }
                    next = q + 1 < end && q[1] == '\n' ? q + 2 : q + 1;
                } else {
                    next = q + 1;
                }
                m_begin[lines] = lineAt;
                m_length[lines] = q - line;
                ++lines;
                lineAt = scanAt = next - start;
            }
            if (lines < LinesPerRecord && !atEnd)
                return keep(record);
            if (lines == 0)
                return keep(bytes.size()); // at the end, between records
            // The end of the file may cut off the two empty lines of the
            // last record (editors strip them); inside its nine fields it
            // is damage.
            if (lines < TrackFieldCount) {
                m_result.state = ReadState::Damaged;
                m_result.reason = endsInsideRecord();
                lines = 0;
                lineAt = scanAt = 0;
                return keep(bytes.size());
            }
            append(start, lineAt, lines);
            record += lineAt;
            lineAt = scanAt = 0;
            lines = 0;
        }
    }

private:
    void append(const char *record, qsizetype length, int lines)
    {
        m_record = QByteArrayView(record, length);
        m_recordLines = lines;
        // Each record is decoded on its own: one record from a Windows-era
        // writer must not turn the UTF-8 records around it into mojibake.
        // The fields are checked as one run: the line ends between them
        // are ASCII and cannot join or split a UTF-8 sequence.
        const qsizetype fieldsEnd = m_begin[TrackFieldCount - 1] + m_length[TrackFieldCount - 1];
        const bool utf8 = QByteArrayView(record, fieldsEnd).isValidUtf8();
        std::array<QByteArrayView, TrackFieldCount> &fields = m_fields;
        for (int i = 0; i < TrackFieldCount; ++i) {
            const QByteArrayView line(record + m_begin[i], m_length[i]);
            if (utf8) {
                fields[i] = line;
            } else {
                m_converted[i] = TextCodec::fromCp1252(line).toUtf8();
                fields[i] = m_converted[i];
            }
        }
        m_visitor.record(fields);
        ++m_result.records;
    }

    ReadResult &m_result;
    RecordVisitor &m_visitor;
    int m_lines = 0; // lines of the record found so far
    // From the record's start: where the line being cut starts, and where
    // the search for its end goes on.
    qsizetype m_line = 0;
    qsizetype m_scan = 0;
    std::array<qsizetype, LinesPerRecord> m_begin{};
    std::array<qsizetype, LinesPerRecord> m_length{};
    std::array<QByteArray, TrackFieldCount> m_converted;
    std::array<QByteArrayView, TrackFieldCount> m_fields; // kept: made anew per record, it costs a fill
    QByteArrayView m_record;
    int m_recordLines = 0;
};

// Builds the rows of a catalogue from the records.
class RowBuilder : public RecordVisitor
{
public:
    explicit RowBuilder(RowStore &rows) : m_rows(rows) {}

    void opened(const FileStamp &stamp) override
    {
        // Rows of a typical record take a quarter of its bytes; reserving
        // for short records costs address space only, never touched.
        m_rows.reserve(qsizetype(stamp.size / 128) + 1);
    }

    void record(const std::array<QByteArrayView, TrackFieldCount> &fields) override
    {
        m_rows.appendUtf8(fields, EntryOrigin::Own);
    }

private:
    RowStore &m_rows;
};

// Copies the records of a list file that is not all UTF-8, so that the
// copy is: a record whose bytes are UTF-8 goes over as it is, any other
// is written anew as UTF-8 with its fields as the reader decodes them
// (and its two separator lines empty).
class RecordCopier : public RecordVisitor
{
public:
    RecordCopier(QIODevice &device, const FileStamp &expected) : m_device(device), m_expected(expected) {}

    void setParser(const RecordParser *parser) { m_parser = parser; }

    void opened(const FileStamp &stamp) override { m_sameFile = stamp == m_expected; }

    void record(const std::array<QByteArrayView, TrackFieldCount> &fields) override
    {
        if (!m_sameFile || m_copyFailed)
            return;
        const QByteArrayView bytes = m_parser->recordBytes();
        m_bytes += bytes.size();
        m_out.clear();
        if (bytes.isValidUtf8()) {
            m_out.append(bytes);
            // Only the file's last record can lack line ends: it is
            // completed, so the new records start on line 1 of a record.
            if (!bytes.endsWith('\r') && !bytes.endsWith('\n'))
                m_out.append("\r\n");
            for (int n = m_parser->recordLines(); n < LinesPerRecord; ++n)
                m_out.append("\r\n");
        } else {
            for (const QByteArrayView field : fields)
                m_out.append(field).append("\r\n");
            m_out.append("\r\n\r\n");
        }
        if (m_device.write(m_out) != m_out.size())
            m_copyFailed = true;
    }

    bool sameFile() const { return m_sameFile; }
    bool copyFailed() const { return m_copyFailed; }
    qint64 bytes() const { return m_bytes; }

private:
    QIODevice &m_device;
    const FileStamp &m_expected;
    const RecordParser *m_parser = nullptr;
    QByteArray m_out;
    bool m_sameFile = true;
    bool m_copyFailed = false;
    qint64 m_bytes = 0;
};

// Counts the lines of a file as the reader cuts them, and hands its bytes
// on to a copy when there is one. The copy stops at the first bytes that
// are not UTF-8: such a file is copied record by record (RecordCopier).
class LineCounter : public SafeFileRead::BlockSink
{
public:
    explicit LineCounter(QIODevice *copy = nullptr, const FileStamp *expected = nullptr)
        : m_copy(copy), m_expected(expected)
    {
    }

    void opened(const FileStamp &stamp) override
    {
        m_sameFile = !m_expected || stamp == *m_expected;
    }

    qsizetype consume(QByteArrayView bytes, bool) override
    {
        if (!m_sameFile || m_copyFailed || m_utf8.broken())
            return bytes.size();
        if (bytes.isEmpty())
            return 0;
        if (m_copy) {
            m_utf8.add(bytes);
            if (m_utf8.broken())
                return bytes.size();
        }
        m_ends += LineScan::countLineEnds(bytes.data(), bytes.data() + bytes.size(), m_afterCR);
        m_lastIsEnd = bytes.back() == '\r' || bytes.back() == '\n';
        m_bytes += bytes.size();
        if (m_copy && m_copy->write(bytes.data(), bytes.size()) != bytes.size())
            m_copyFailed = true;
        return bytes.size();
    }

    bool sameFile() const { return m_sameFile; }
    bool copyFailed() const { return m_copyFailed; }
    // Whether the bytes copied are UTF-8 (the copy is whole only then).
    bool copiedUtf8() const { return m_utf8.valid(); }
    qint64 bytes() const { return m_bytes; }
    // A last line without a line end is a line too.
    qint64 lines() const { return m_ends + (m_bytes > 0 && !m_lastIsEnd ? 1 : 0); }
    bool lastLineEnded() const { return m_bytes == 0 || m_lastIsEnd; }
    qint64 lastRecordLines() const { return lines() % LinesPerRecord; }
    // The reader keeps a last record cut off after its nine fields.
    bool whole() const { return lastRecordLines() == 0 || lastRecordLines() >= TrackFieldCount; }

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

// The outcome of a file that was not read: missing (an empty catalogue,
// no stamp), or unreadable with the reason and the stamp of what was found.
ReadResult notRead(const SafeFileRead::Result &file)
{
    ReadResult result;
    if (file.status == SafeFileRead::Status::Missing)
        return result;
    result.state = ReadState::Unreadable;
    result.reason = file.reason;
    result.stamp = file.stamp;
    return result;
}

} // namespace

QString defaultPath()
{
    return SystemPaths::windowsDirectory() + QStringLiteral("/zembra.lst");
}

ReadResult parse(QByteArrayView bytes)
{
    ReadResult result;
    RowBuilder builder(result.rows);
    RecordParser parser(result, builder);
    parser.consume(bytes, true);
    return result;
}

ReadResult visit(const QString &path, RecordVisitor &visitor, const SafeFileRead::Options &options)
{
    ReadResult result;
    RecordParser parser(result, visitor);
    const SafeFileRead::Result file = SafeFileRead::readBlocks(path, parser, options);
    if (file.ok())
        result.stamp = file.stamp;
    else
        result = notRead(file);
    return result;
}

ReadResult read(const QString &path)
{
    return read(path, SafeFileRead::Options());
}

ReadResult read(const QString &path, const SafeFileRead::Options &options)
{
    RowStore rows;
    RowBuilder builder(rows);
    ReadResult result = visit(path, builder, options);
    // Rows taken before a failure are no catalogue: they are dropped.
    if (result.state != ReadState::Unreadable)
        result.rows = std::move(rows);
    return result;
}

ReadResult check(const QString &path, const SafeFileRead::Options &options)
{
    LineCounter counter;
    const SafeFileRead::Result file = SafeFileRead::readBlocks(path, counter, options);
    if (!file.ok())
        return notRead(file);
    ReadResult result;
    result.state = counter.whole() ? ReadState::Whole : ReadState::Damaged;
    result.records = qsizetype((counter.lines() + (counter.whole() ? LinesPerRecord - 1 : 0)) / LinesPerRecord);
    if (!counter.whole())
        result.reason = endsInsideRecord();
    result.stamp = file.stamp;
    return result;
}

QString readProblemMessage(const QString &path, const ReadResult &result)
{
    const QString shown = QDir::toNativeSeparators(path);
    switch (result.state) {
    case ReadState::Missing:
    case ReadState::Whole:
        return {};
    case ReadState::Damaged:
        return QStringLiteral("The catalogue %1 is damaged (%2). The %3 whole entries before the damage were loaded.")
            .arg(shown, result.reason)
            .arg(result.records);
    case ReadState::Unreadable:
        break;
    }
    return QStringLiteral("The catalogue %1 could not be read: %2.").arg(shown, result.reason);
}

bool write(QIODevice &device, const RowStore &rows, const Progress &progress)
{
    const auto appendRecord = [&](QByteArray &block, qsizetype row) {
        if (rows.origin(row) == EntryOrigin::Library)
            return;
        const QByteArrayView all = rows.recordUtf8(row);
        if (LineScan::hasLineEnd(all.data(), all.data() + all.size())) {
            for (int f = 0; f < TrackFieldCount; ++f)
                RowLineWriter::appendLine(block, rows.fieldUtf8(row, f));
            block.append("\r\n\r\n");
            return;
        }
        // The common case: the fields hold no line break, and the record
        // is copied field by field into space made for it at once.
        const qsizetype at = block.size();
        block.resize(at + all.size() + 2 * LinesPerRecord);
        char *out = block.data() + at;
        const char *in = all.data();
        for (int f = 0; f < TrackFieldCount; ++f) {
            const qsizetype length = rows.fieldUtf8(row, f).size();
            std::memcpy(out, in, size_t(length));
            out += length;
            in += length;
            *out++ = '\r';
            *out++ = '\n';
        }
        std::memcpy(out, "\r\n\r\n", 4);
    };
    return RowLineWriter::write(device, rows, appendRecord, progress);
}

SaveResult save(const QString &path, const RowStore &rows, const Progress &progress)
{
    return saveAtomically(path, [&](QIODevice &device) { return write(device, rows, progress); });
}

SaveResult appendRecords(const QString &path, const FileStamp &expectedStamp, const RowStore &newRows,
                         const SafeFileRead::Options &options)
{
    const QString changed = QStringLiteral("the catalogue was changed by another program since it was read");
    if (const FileStamp now = FileStamp::of(path); now != expectedStamp)
        return {false, changed, now.exists};
    QString refusal;
    // Whether the old bytes read were the whole file of the stamp,
    // unchanged while they were read; refusal says why not.
    const auto readWhole = [&](const SafeFileRead::Result &file, bool sameFile, qint64 bytes) {
        if (file.status != SafeFileRead::Status::Read)
            refusal = file.status == SafeFileRead::Status::Missing ? changed : file.reason;
        else if (!sameFile || bytes != expectedStamp.size || FileStamp::of(path) != expectedStamp)
            refusal = changed;
        return refusal.isEmpty();
    };
    // The file is copied as it is when it is all UTF-8; otherwise it is
    // copied again, record by record (RecordCopier).
    bool byRecords = false;
    const auto appendTo = [&](QIODevice &device) {
        if (!expectedStamp.exists)
            return write(device, newRows);
        LineCounter old(&device, &expectedStamp);
        const SafeFileRead::Result file = SafeFileRead::readBlocks(path, old, options);
        if (old.copyFailed())
            return false; // the device holds the reason
        if (file.ok() && old.sameFile() && !old.copiedUtf8()) {
            byRecords = true;
            return false;
        }
        if (!readWhole(file, old.sameFile(), old.bytes()))
            return false;
        if (!old.whole()) {
            refusal = endsInsideRecord();
            return false;
        }
        // Complete the last record, so the new ones start on line 1 of a
        // record. A CR LF after a last lone CR still reads as two line ends.
        QByteArray completion;
        if (!old.lastLineEnded())
            completion += "\r\n";
        for (qint64 n = old.lastRecordLines(); n != 0 && n < LinesPerRecord; ++n)
            completion += "\r\n";
        if (!completion.isEmpty() && device.write(completion) != completion.size())
            return false;
        return write(device, newRows);
    };
    const auto appendByRecords = [&](QIODevice &device) {
        ReadResult read;
        RecordCopier old(device, expectedStamp);
        RecordParser parser(read, old);
        old.setParser(&parser);
        const SafeFileRead::Result file = SafeFileRead::readBlocks(path, parser, options);
        if (old.copyFailed())
            return false;
        // The bytes of a record the end cuts off are not copied.
        if (file.ok() && old.sameFile() && read.state != ReadState::Whole) {
            refusal = endsInsideRecord();
            return false;
        }
        return readWhole(file, old.sameFile(), old.bytes()) && write(device, newRows);
    };
    SaveResult saved = saveAtomically(path, appendTo);
    if (byRecords)
        saved = saveAtomically(path, appendByRecords);
    if (!saved.ok && !refusal.isEmpty())
        saved.error = refusal;
    return saved;
}

} // namespace CatalogueListFile
