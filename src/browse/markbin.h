#pragma once

#include "catalogue/rowstore.h"

#include <QItemSelection>
#include <vector>

namespace MarkBin {

// The rows a selection covers, each once, in display order, whatever
// the order in which they were selected. Costs the size of the
// selection, not of the list.
std::vector<qsizetype> rowsInOrder(const QItemSelection &selection);

// Sorts rows and drops repeats.
void sortRows(std::vector<qsizetype> &rows);

// New bin rows copied from the given catalogue rows, in the order given:
// the first eight fields; the audio header is not copied.
RowStore copiesOf(const RowStore &catalogue, const std::vector<qsizetype> &rows);

} // namespace MarkBin
