#include "export/textexport.h"

#include "store/rowlinewriter.h"

namespace TextExport {

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
    return RowLineWriter::write(
        device, rows,
        [&](QByteArray &block, qsizetype row) { RowLineWriter::appendLine(block, rows.fieldUtf8(row, FieldFilename)); },
        progress);
}

SaveResult save(const QString &path, const RowStore &rows, const Progress &progress, const SaveSystemCalls &calls)
{
    return saveAtomically(path, [&](QIODevice &device) { return write(device, rows, progress); }, calls);
}

} // namespace TextExport
