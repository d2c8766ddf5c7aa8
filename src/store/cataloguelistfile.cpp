#include "store/cataloguelistfile.h"

#include "store/platform/systempaths.h"
#include "store/rowlinewriter.h"
#include "store/textcodec.h"

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

RowStore parse(QByteArrayView bytes)
{
    const bool utf8 = TextCodec::isValidUtf8(bytes);
    RowStore rows;
    qsizetype pos = 0;
    std::array<QByteArrayView, LinesPerRecord> lines;
    std::array<QByteArray, TrackFieldCount> converted;
    while (pos < bytes.size()) {
        for (int i = 0; i < LinesPerRecord; ++i) {
            if (!nextLine(bytes, pos, lines[i]))
                return rows; // the file ends inside a record: drop it
        }
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
    return rows;
}

RowStore read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
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
