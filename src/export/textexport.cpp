#include "textexport.h"

namespace TextExport {

namespace {
constexpr qsizetype WriteBlock = 1 << 20;
}

QString fileName()
{
    return QStringLiteral("ondrolist.txt");
}

QString path(const QString &exportsFolder)
{
    return exportsFolder + QLatin1Char('/') + fileName();
}

bool write(QIODevice &device, const RowStore &rows, const Progress &progress)
{
    const qsizetype n = rows.size();
    QByteArray block;
    block.reserve(WriteBlock + 4096);
    for (qsizetype i = 0; i < n; ++i) {
        const QByteArrayView name = rows.fieldUtf8(i, FieldFilename);
        // A path holding a line break would otherwise split into two lines
        // and break the one-line-per-entry layout.
        if (name.contains('\r') || name.contains('\n')) {
            for (char c : name)
                block.append(c == '\r' || c == '\n' ? ' ' : c);
        } else {
            block.append(name);
        }
        block.append("\r\n");
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

} // namespace TextExport
