#pragma once

#include "catalogue/extensionline.h"
#include "catalogue/rowstore.h"

#include <QString>
#include <QStringList>
#include <vector>

// The main list's columns after the nine fields: a fact of each entry's
// extension line each (playing time, bitrate, mode, track number, size),
// read the one way (ExtensionLine::factNumber). Column numbers go on from
// TrackFieldCount.
namespace FactColumns {

inline constexpr int First = TrackFieldCount;
int count();
int end(); // First + count()
bool isFactColumn(int column);

QStringList headers();       // "Duration", "Bitrate", "Mode", "Track No.", "Size"
QString key(int column);     // the fact's key, as the state file names the column
int columnOf(const QString &key); // -1 when no column has that key

// The cell's text: "3:35", "128 kbps", "CBR", "7", "4.6 MB"; empty when
// the entry has no such fact.
QString display(QByteArrayView extension, int column);

// The rows in the column's order: stable, entries without the fact
// first, numbers as numbers, text ignoring letter case. order[i] is the
// row (or the subset's row) that comes i-th.
std::vector<qsizetype> order(const RowStore &rows, int column);
std::vector<qsizetype> order(const RowStore &rows, int column, std::vector<qsizetype> subset);

} // namespace FactColumns
