#pragma once

#include "catalogue/rowstore.h"

#include <QString>
#include <vector>

// ondro-cli query --sort: the matches in the order of one or more columns,
// each as the desktop list sorts it (ColumnSort), stable, a "-" before a
// column for descending.
namespace QuerySort {

struct Key
{
    int column = 0;
    bool descending = false;
};

// "artist,-year": the keys; nothing with error set when a name is no
// column (the list's header names, or the query's: path, title, cover).
std::vector<Key> keysOf(const QString &text, QString *error);

// The rows in the keys' order: the first key decides, then the next among equals.
std::vector<qsizetype> order(const RowStore &rows, const std::vector<Key> &keys);

} // namespace QuerySort
