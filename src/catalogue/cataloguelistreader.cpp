#include "catalogue/cataloguelistreader.h"

#include "base/platform/systempaths.h"

#include <QDir>

#include <algorithm>

namespace CatalogueListFile {

QString endsInsideRecord()
{
    return QStringLiteral("the file ends inside a record");
}

RecordParser::RecordParser(ReadResult &result, RecordVisitor &visitor) : m_result(result), m_visitor(visitor)
{
    m_result.state = ReadState::Whole;
}

// Cuts lines of the record at start until it has all of them or the bytes
// end; false when the last line may go on in the next block (or its CR
// have its LF there). Inlined, so that cut stays in registers.
inline __attribute__((always_inline)) bool RecordParser::cutLines(const char *start, const char *end, bool atEnd,
                                                                  ByteScan::LineEndFinder &lineEnds, Cut &cut)
{
    while (cut.lines < LinesPerRecord) {
        const char *line = start + cut.line;
        if (line == end)
            return true;
        const char *q = lineEnds.find(start + cut.scan);
        const char *next;
        if (q == end) {
            if (!atEnd) {
                cut.scan = end - start;
                return false;
            }
            next = end;
        } else if (*q == '\r') {
            if (q + 1 == end && !atEnd) {
                cut.scan = q - start;
                return false;
            }
            next = q + 1 < end && q[1] == '\n' ? q + 2 : q + 1;
        } else {
            next = q + 1;
        }
        m_begin[size_t(cut.lines)] = cut.line;
        m_length[size_t(cut.lines)] = q - line;
        ++cut.lines;
        cut.line = cut.scan = next - start;
    }
    return true;
}

qsizetype RecordParser::consume(QByteArrayView bytes, bool atEnd)
{
    const char *const data = bytes.data();
    const char *const end = data + bytes.size();
    ByteScan::LineEndFinder lineEnds(end);
    // Worked on in a local, which the visitor's calls cannot change, and
    // kept in the member when more bytes are needed.
    Cut cut = m_cut;
    qsizetype record = 0; // start of the record being cut
    for (;;) {
        const char *const start = data + record;
        if (!cutLines(start, end, atEnd, lineEnds, cut) || (cut.lines < LinesPerRecord && !atEnd)) {
            m_cut = cut;
            return record;
        }
        if (cut.lines == 0) { // at the end, between records
            m_cut = cut;
            return bytes.size();
        }
        if (!lastRecordWhole(cut.lines)) {
            m_result.state = ReadState::Damaged;
            m_result.reason = endsInsideRecord();
            m_cut = Cut();
            return bytes.size();
        }
        append(start, cut.line, cut.lines);
        record += cut.line;
        cut = Cut();
    }
}

void RecordParser::append(const char *record, qsizetype length, int lines)
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
    for (size_t i = 0; i < TrackFieldCount; ++i) {
        const QByteArrayView line(record + m_begin[i], m_length[i]);
        if (utf8) {
            fields[i] = line;
        } else {
            m_converted[i] = TextCodec::fromCp1252(line).toUtf8();
            fields[i] = m_converted[i];
        }
    }
    // Line 10 is the extension line when it says so; the original program
    // writes it empty and other text there is not read.
    QByteArrayView extension;
    if (lines > TrackFieldCount) {
        extension = QByteArrayView(record + m_begin[TrackFieldCount], m_length[TrackFieldCount]);
        if (!extension.startsWith(ExtensionPrefix))
            extension = {};
    }
    m_visitor.record(fields, extension);
    ++m_result.records;
}

qsizetype LineCounter::consume(QByteArrayView bytes, bool)
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
    m_ends += ByteScan::countLineEnds(bytes.data(), bytes.data() + bytes.size(), m_afterCR);
    m_lastIsEnd = bytes.back() == '\r' || bytes.back() == '\n';
    m_bytes += bytes.size();
    if (m_copy && m_copy->write(bytes.data(), bytes.size()) != bytes.size())
        m_copyFailed = true;
    return bytes.size();
}

namespace {

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

    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
    {
        m_rows.appendUtf8(fields, EntryOrigin::Own, extension);
    }

private:
    RowStore &m_rows;
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
    // A larger file is refused unread, so line 10 of every record handed
    // on (after at least nine line ends) fits a row whole.
    static_assert(SafeFileRead::DefaultMaxBytes - TrackFieldCount <= RowStore::MaxExtensionBytes);
    SafeFileRead::Options capped = options;
    capped.maxBytes = std::min(options.maxBytes, SafeFileRead::DefaultMaxBytes);
    ReadResult result;
    RecordParser parser(result, visitor);
    const SafeFileRead::Result file = SafeFileRead::readBlocks(path, parser, capped);
    if (file.ok())
        result.stamp = file.stamp;
    else
        result = notRead(file);
    return result;
}

EntryStream stream(const QString &path, ReadResult &read)
{
    return [path, &read](const EntrySink &sink) {
        // After the sink stopped, the rest are passed over.
        class Feed : public RecordVisitor
        {
        public:
            explicit Feed(const EntrySink &sink) : m_sink(sink) {}
            void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
            {
                going = going && m_sink({fields, extension, EntryOrigin::Own});
            }
            bool going = true;

        private:
            const EntrySink &m_sink;
        } feed(sink);
        read = visit(path, feed);
        return feed.going && read.state != ReadState::Unreadable;
    };
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
    result.records = counter.records();
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

} // namespace CatalogueListFile
