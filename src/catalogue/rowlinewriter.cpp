#include "catalogue/rowlinewriter.h"

#include "base/bytescan.h"

namespace RowLineWriter {

namespace {
constexpr qsizetype WriteBlock = 1 << 20;
}

void appendLine(QByteArray &block, QByteArrayView value)
{
    if (!ByteScan::hasLineEnd(value.data(), value.data() + value.size())) {
        block.append(value);
    } else {
        for (char c : value)
            block.append(c == '\r' || c == '\n' ? ' ' : c);
    }
    block.append("\r\n");
}

bool write(QIODevice &device, const RowStore &rows, const AppendRow &appendRow, WorkProgress *progress)
{
    const qsizetype n = rows.size();
    QByteArray block;
    block.reserve(WriteBlock + 4096);
    for (qsizetype i = 0; i < n; ++i) {
        appendRow(block, i);
        if (block.size() >= WriteBlock) {
            if (device.write(block) != block.size())
                return false;
            block.clear();
        }
        workStep(progress, i + 1, n);
    }
    return block.isEmpty() || device.write(block) == block.size();
}

} // namespace RowLineWriter
