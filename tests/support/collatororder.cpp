#include "collatororder.h"

#include "catalogue/columnsort.h"

#include <QCollator>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <numeric>

std::vector<qsizetype> collatorOrder(const RowStore &rows, int field, const std::vector<qsizetype> *subset)
{
    const qsizetype count = subset ? qsizetype(subset->size()) : rows.size();
    const auto rowOf = [subset](qsizetype i) { return subset ? (*subset)[size_t(i)] : i; };
    std::vector<qsizetype> indices(static_cast<size_t>(count));
    std::iota(indices.begin(), indices.end(), 0);
    // One collation key per value, made in parallel; comparing keys is then
    // a plain byte comparison.
    const QLocale locale = ColumnSort::collationLocale();
    const std::vector<QCollatorSortKey> keys =
        QtConcurrent::blockingMapped<std::vector<QCollatorSortKey>>(indices, [&](qsizetype i) {
            // One collator per thread, made again when the locale changes.
            thread_local QLocale collatorLocale(QLocale::C);
            thread_local QCollator collator;
            if (locale != collatorLocale) {
                collator = QCollator(locale);
                collator.setCaseSensitivity(Qt::CaseInsensitive);
                collator.setNumericMode(false);
                collatorLocale = locale;
            }
            return collator.sortKey(QString::fromUtf8(rows.fieldUtf8(rowOf(i), field)));
        });
    std::stable_sort(indices.begin(), indices.end(),
                     [&](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    if (subset)
        std::transform(indices.begin(), indices.end(), indices.begin(), rowOf);
    return indices;
}
