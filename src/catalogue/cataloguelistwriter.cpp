#include "catalogue/cataloguelistreader.h"

#include "catalogue/rowlinewriter.h"

#include <cstring>

namespace CatalogueListFile {

namespace {

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

    void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) override
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
            m_out.append(extension).append("\r\n\r\n");
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

// Appends the records of a list file by copying the file: as it is when
// it is all UTF-8, else record by record (RecordCopier), then the new
// records. Each copy goes to a device of an atomic save; a refusal says
// why the old file could not be taken over.
class Appender
{
public:
    Appender(const QString &path, const FileStamp &expected, const RowStore &newRows,
             const SafeFileRead::Options &options)
        : m_path(path), m_expected(expected), m_newRows(newRows), m_options(options)
    {
    }

    static QString changed()
    {
        return QStringLiteral("the catalogue was changed by another program since it was read");
    }

    // The old file's bytes as they are; false with byRecords() set when
    // the file is not all UTF-8.
    bool copyAsIs(QIODevice &device)
    {
        if (!m_expected.exists)
            return write(device, m_newRows);
        LineCounter old(&device, &m_expected);
        const SafeFileRead::Result file = SafeFileRead::readBlocks(m_path, old, m_options);
        if (old.copyFailed())
            return false; // the device holds the reason
        if (file.ok() && old.sameFile() && !old.copiedUtf8()) {
            m_byRecords = true;
            return false;
        }
        if (!readWhole(file, old.sameFile(), old.bytes()))
            return false;
        if (!old.whole()) {
            m_refusal = endsInsideRecord();
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
        return write(device, m_newRows);
    }

    bool copyByRecords(QIODevice &device)
    {
        ReadResult read;
        RecordCopier old(device, m_expected);
        RecordParser parser(read, old);
        old.setParser(&parser);
        const SafeFileRead::Result file = SafeFileRead::readBlocks(m_path, parser, m_options);
        if (old.copyFailed())
            return false;
        // The bytes of a record the end cuts off are not copied.
        if (file.ok() && old.sameFile() && read.state != ReadState::Whole) {
            m_refusal = endsInsideRecord();
            return false;
        }
        return readWhole(file, old.sameFile(), old.bytes()) && write(device, m_newRows);
    }

    bool byRecords() const { return m_byRecords; }
    const QString &refusal() const { return m_refusal; }

private:
    // Whether the old bytes read were the whole file of the stamp,
    // unchanged while they were read; the refusal says why not.
    bool readWhole(const SafeFileRead::Result &file, bool sameFile, qint64 bytes)
    {
        if (file.status != SafeFileRead::Status::Read)
            m_refusal = file.status == SafeFileRead::Status::Missing ? changed() : file.reason;
        else if (!sameFile || bytes != m_expected.size || FileStamp::of(m_path) != m_expected)
            m_refusal = changed();
        return m_refusal.isEmpty();
    }

    const QString &m_path;
    const FileStamp &m_expected;
    const RowStore &m_newRows;
    const SafeFileRead::Options &m_options;
    QString m_refusal;
    bool m_byRecords = false;
};

} // namespace

bool write(QIODevice &device, const RowStore &rows, WorkProgress *progress)
{
    const auto appendRecord = [&](QByteArray &block, qsizetype row) {
        if (rows.origin(row) == EntryOrigin::Library)
            return;
        const QByteArrayView all = rows.recordUtf8(row);
        const QByteArrayView extension = rows.extensionUtf8(row); // right after the fields
        if (ByteScan::hasLineEnd(all.data(), extension.data() + extension.size())) {
            for (int f = 0; f < TrackFieldCount; ++f)
                RowLineWriter::appendLine(block, rows.fieldUtf8(row, f));
            RowLineWriter::appendLine(block, extension);
            block.append("\r\n");
            return;
        }
        // The common case: the fields hold no line break, and the record
        // is copied field by field into space made for it at once.
        const qsizetype at = block.size();
        block.resize(at + all.size() + extension.size() + 2 * LinesPerRecord);
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
        if (!extension.isEmpty()) {
            std::memcpy(out, extension.data(), size_t(extension.size()));
            out += extension.size();
        }
        std::memcpy(out, "\r\n\r\n", 4);
    };
    return RowLineWriter::write(device, rows, appendRecord, progress);
}

SaveResult save(const QString &path, const RowStore &rows, WorkProgress *progress, const SaveSystemCalls &calls)
{
    return saveAtomically(path, [&](QIODevice &device) { return write(device, rows, progress); }, calls);
}

SaveResult appendRecords(const QString &path, const FileStamp &expectedStamp, const RowStore &newRows,
                         const SafeFileRead::Options &options)
{
    if (const FileStamp now = FileStamp::of(path); now != expectedStamp)
        return {false, Appender::changed(), now.exists};
    Appender appender(path, expectedStamp, newRows, options);
    SaveResult saved = saveAtomically(path, [&](QIODevice &device) { return appender.copyAsIs(device); });
    if (appender.byRecords())
        saved = saveAtomically(path, [&](QIODevice &device) { return appender.copyByRecords(device); });
    if (!saved.ok && !appender.refusal().isEmpty())
        saved.error = appender.refusal();
    return saved;
}

} // namespace CatalogueListFile
