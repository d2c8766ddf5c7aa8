#pragma once

#include "catalogue/rowstore.h"

#include <vector>

// The order ColumnSort::order() must give, made the plain way: one Qt
// collator key per value, for ColumnSort::collationLocale(), and a stable
// sort of them. Slow at a million rows; the reference for the tests and the
// benchmark.
std::vector<qsizetype> collatorOrder(const RowStore &rows, int field, const std::vector<qsizetype> *subset = nullptr);
