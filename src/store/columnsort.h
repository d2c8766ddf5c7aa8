#pragma once

#include "store/rowstore.h"

#include <vector>

// The order of rows by the text of one column: stable, ascending,
// locale-aware, ignoring letter case, numbers compared as text ("10"
// before "9"). order[i] is the row (or, with a subset, the subset's row)
// that comes i-th.
//
// Three ways give the same order:
// - a column whose values are all ASCII compares bytes folded through a
//   table of 128 collation ranks, when the collator of the locale agrees
//   with that table on every string of one and two ASCII characters (a
//   locale where "ch" or "aa" is a letter of its own fails the check);
// - otherwise each value gets its ICU sort key, in parallel, checked once
//   against the collator on a set of probe texts and on values of the
//   column itself;
// - otherwise (no ICU collator that matches) Qt's collator keys.
// The first two sort 16-byte items by eight key bytes at a time, going on
// to the next eight only within runs that tie, so long shared prefixes
// (paths) cost no string comparisons.
namespace ColumnSort {

std::vector<qsizetype> order(const RowStore &rows, int field);
std::vector<qsizetype> order(const RowStore &rows, int field, const std::vector<qsizetype> &subset);

// The plain way: one Qt collator key per value and a stable sort of them.
// Slow at a million rows; the reference the fast ways must match.
std::vector<qsizetype> collatorOrder(const RowStore &rows, int field, const std::vector<qsizetype> *subset = nullptr);

// Which way order() takes for a column (for tests and the benchmark).
enum class Method { AsciiTable, IcuKeys, QtCollator };
Method methodFor(const RowStore &rows, int field);

} // namespace ColumnSort
