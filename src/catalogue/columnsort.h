#pragma once

#include "catalogue/rowstore.h"

#include <QLocale>
#include <vector>

// The order of rows by the text of one column: stable, ascending,
// locale-aware, ignoring letter case, numbers compared as text ("10"
// before "9"), as Qt's collator for collationLocale() orders them.
// order[i] is the row (or, with a subset, the subset's row) that comes
// i-th.
//
// Each value's ICU sort key decides; the keys are made in parallel. A large
// column whose values are all ASCII reaches the same order faster, by its
// bytes folded through a table of 128 collation ranks, taken only when the
// ICU keys agree with that table on every string of one and two ASCII
// characters (a locale where "ch" or "aa" is a letter of its own fails the
// check). Either way the keys are sorted as KeyOrder sorts them.
namespace ColumnSort {

std::vector<qsizetype> order(const RowStore &rows, int field);
std::vector<qsizetype> order(const RowStore &rows, int field, const std::vector<qsizetype> &subset);

// The locale whose order order() gives: the default one, or English where
// that is the C locale (which compares code points and ignores the case
// setting, when a neutral language order is what a user expects).
QLocale collationLocale();

// Which keys order() sorts a column by (for tests and the benchmark).
enum class Method { AsciiTable, IcuKeys };
Method methodFor(const RowStore &rows, int field);

} // namespace ColumnSort
