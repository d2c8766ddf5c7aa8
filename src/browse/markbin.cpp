#include "browse/markbin.h"

#include <algorithm>

namespace MarkBin {

void sortRows(std::vector<qsizetype> &rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
}

std::vector<qsizetype> rowsInOrder(const QItemSelection &selection)
{
    std::vector<qsizetype> rows;
    for (const QItemSelectionRange &range : selection) {
        if (!range.isValid())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    sortRows(rows);
    return rows;
}

RowStore copiesOf(const RowStore &catalogue, const std::vector<qsizetype> &rows)
{
    RowStore bin;
    bin.reserve(qsizetype(rows.size()));
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (qsizetype row : rows) {
        for (int f = 0; f < TrackFieldCount; ++f)
            fields[size_t(f)] = f == FieldAudioHeader ? QByteArrayView() : catalogue.fieldUtf8(row, f);
        bin.appendUtf8(fields, catalogue.origin(row), catalogue.extensionUtf8(row));
    }
    return bin;
}

} // namespace MarkBin
