#include "cli/querysort.h"

#include "browse/queryvalues.h"
#include "catalogue/columnsort.h"
#include "catalogue/trackrecord.h"

#include <algorithm>
#include <numeric>

namespace QuerySort {

namespace {

// A column by the list's header name (filename, track, coverimage) or the
// query's name of a text field (path, title, cover).
int columnNamed(const QString &name)
{
    const auto &names = TrackRecord::fieldNames();
    if (const auto it = std::find(names.begin(), names.end(), name); it != names.end() && name != u"audioheader")
        return int(it - names.begin());
    const std::optional<Query::Field> field = Query::fieldNamed(name);
    const bool column = field && (*field == Query::Field::Path || *field == Query::Field::Cover
                                  || (*field >= Query::Field::Source && *field <= Query::Field::Genre));
    return column ? Query::textColumnOf(*field) : -1;
}

} // namespace

std::vector<Key> keysOf(const QString &text, QString *error)
{
    std::vector<Key> keys;
    for (const QString &part : text.split(u',')) {
        const bool descending = part.startsWith(u'-');
        const QString name = (descending ? part.mid(1) : part).trimmed().toLower();
        const int column = columnNamed(name);
        if (column < 0) {
            *error = QStringLiteral("cannot sort by \"%1\"; sort by path, source, artist, title, album, year, genre "
                                    "or cover, a \"-\" before one for descending")
                          .arg(name);
            return {};
        }
        keys.push_back({column, descending});
    }
    return keys;
}

std::vector<qsizetype> order(const RowStore &rows, const std::vector<Key> &keys)
{
    std::vector<qsizetype> rowsInOrder(size_t(rows.size()));
    std::iota(rowsInOrder.begin(), rowsInOrder.end(), 0);
    // The last key first: each stable sort keeps the order of the keys after it among its equals.
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        // Descending and stable: the ascending order of the reversed rows, reversed.
        if (key->descending)
            std::reverse(rowsInOrder.begin(), rowsInOrder.end());
        rowsInOrder = ColumnSort::order(rows, key->column, rowsInOrder);
        if (key->descending)
            std::reverse(rowsInOrder.begin(), rowsInOrder.end());
    }
    return rowsInOrder;
}

} // namespace QuerySort
