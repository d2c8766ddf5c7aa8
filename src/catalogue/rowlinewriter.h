#pragma once

#include "catalogue/rowstore.h"
#include "base/workprogress.h"

#include <QByteArray>
#include <QIODevice>
#include <functional>

// Shared by the line-based files the program writes (the catalogue list,
// the text index): rows are turned into CR LF lines, gathered in large
// blocks and written block by block.
namespace RowLineWriter {

// Appends the lines of one row (0-based) to the block.
using AppendRow = std::function<void(QByteArray &block, qsizetype row)>;

// Appends value and CR LF. A line break inside the value becomes a blank,
// or the value would split and every later line would shift.
void appendLine(QByteArray &block, QByteArrayView value);

// Writes every row's lines, a step of progress after each row, whether
// it gave lines or not; false when the device fails.
bool write(QIODevice &device, const RowStore &rows, const AppendRow &appendRow, WorkProgress *progress);

} // namespace RowLineWriter
