#include "store/cataloguelistfile.h"

#include "store/platform/systempaths.h"
#include "store/rowlinewriter.h"
#include "store/textcodec.h"

#include <QDir>
#include <QFile>

namespace CatalogueListFile {

namespace {

constexpr int LinesPerRecord = 11;

// Cuts the next line off bytes at pos; false at the end of the bytes.
bool nextLine(QByteArrayView bytes, qsizetype &pos, QByteArrayView &line)
{
    if (pos >= bytes.size())
        return false;
    const char *begin = bytes.data() + pos;
    const char *end = bytes.data() + bytes.size();
    const char *p = begin;
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    line = QByteArrayView(begin, p - begin);
    if (p < end && *p == '\r')
        ++p;
    if (p < end && *p == '\n') // after CR, or a lone LF
        ++p;
    pos = p - bytes.data();
    return true;
}

} // namespace

QString defaultPath()
{
    return SystemPaths::windowsDirectory() + QStringLiteral("/zembra.lst");
}

ReadResult parse(QByteArrayView bytes)
{
    ReadResult result;
    result.state = ReadState::Whole;
    RowStore &rows = result.rows;
    qsizetype pos = 0;
    std::array<QByteArrayView, LinesPerRecord> lines;
    std::array<QByteArray, TrackFieldCount> converted;
    while (pos < bytes.size()) {
        int got = 0;
        while (got < LinesPerRecord && nextLine(bytes, pos, lines[got]))
            ++got;
        // The end of the file may cut off the two empty lines of the last
        // record (editors strip them); inside its nine fields it is damage.
        if (got < TrackFieldCount) {
            result.state = ReadState::Damaged;
            result.reason = QStringLiteral("the file ends inside a record");
            return result;
        }
        // Each record is decoded on its own: one record from a Windows-era
        // writer must not turn the UTF-8 records around it into mojibake.
        bool utf8 = true;
        for (int i = 0; i < TrackFieldCount && utf8; ++i)
            utf8 = lines[i].isValidUtf8();
        std::array<QByteArrayView, TrackFieldCount> fields;
        for (int i = 0; i < TrackFieldCount; ++i) {
            if (utf8) {
                fields[i] = lines[i];
            } else {
                converted[i] = TextCodec::fromCp1252(lines[i]).toUtf8();
                fields[i] = converted[i];
            }
        }
        rows.appendUtf8(fields, EntryOrigin::Own);
    }
    return result;
}

ReadResult read(const QString &path)
{
    return read(path, SafeFileRead::Options());
}

ReadResult read(const QString &path, const SafeFileRead::Options &options)
{
    SafeFileRead::Result file = SafeFileRead::readAll(path, options);
    ReadResult result;
    switch (file.status) {
    case SafeFileRead::Status::Missing:
        return result;
    case SafeFileRead::Status::Refused:
    case SafeFileRead::Status::Failed:
        result.state = ReadState::Unreadable;
        result.reason = file.reason;
        result.stamp = file.stamp;
        return result;
    case SafeFileRead::Status::Read:
        break;
    }
    result = parse(file.bytes);
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
            .arg(result.rows.size());
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
        for (int f = 0; f < TrackFieldCount; ++f)
            RowLineWriter::appendLine(block, rows.fieldUtf8(row, f));
        block.append("\r\n\r\n");
    };
    return RowLineWriter::write(device, rows, appendRecord, progress);
}

SaveResult save(const QString &path, const RowStore &rows, const Progress &progress)
{
    return saveAtomically(path, [&](QIODevice &device) { return write(device, rows, progress); });
}

} // namespace CatalogueListFile
