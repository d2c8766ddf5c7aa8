#include "cataloguelistfile.h"

#include "platform/systempaths.h"
#include "textcodec.h"

#include <QFile>

namespace CatalogueListFile {

namespace {

constexpr int LinesPerRecord = 11;
constexpr qsizetype WriteBlock = 1 << 20;

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

// A value must stay on its line, or every later record would shift.
void appendValue(QByteArray &out, QByteArrayView value)
{
    if (!value.contains('\r') && !value.contains('\n')) {
        out.append(value);
        return;
    }
    for (char c : value)
        out.append(c == '\r' || c == '\n' ? ' ' : c);
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
    const qsizetype n = rows.size();
    QByteArray block;
    block.reserve(WriteBlock + 4096);
    for (qsizetype i = 0; i < n; ++i) {
        if (rows.origin(i) != EntryOrigin::Library) {
            for (int f = 0; f < TrackFieldCount; ++f) {
                appendValue(block, rows.fieldUtf8(i, f));
                block.append("\r\n");
            }
            block.append("\r\n\r\n");
        }
        if (block.size() >= WriteBlock) {
            if (device.write(block) != block.size())
                return false;
            block.clear();
        }
        if (progress)
            progress(i + 1, n);
    }
    return block.isEmpty() || device.write(block) == block.size();
}

SaveResult save(const QString &path, const RowStore &rows, const Progress &progress)
{
    return saveAtomically(path, [&](QIODevice &device) { return write(device, rows, progress); });
}

} // namespace CatalogueListFile
