#include "export/textexport.h"

#include "base/oneline.h"
#include "catalogue/rowlinewriter.h"

namespace TextExport {

QString fileName()
{
    return QStringLiteral("ondrolist.txt");
}

bool write(QIODevice &device, const RowStore &rows, WorkProgress *progress)
{
    return RowLineWriter::write(
        device, rows,
        [&](QByteArray &block, qsizetype row) {
            OneLine::append(block, rows.fieldUtf8(row, FieldFilename));
            block.append("\r\n");
        },
        progress);
}

SaveResult save(const QString &path, const RowStore &rows, WorkProgress *progress, const SaveSystemCalls &calls)
{
    return saveAtomically(path, [&](QIODevice &device) { return write(device, rows, progress); }, calls);
}

} // namespace TextExport
