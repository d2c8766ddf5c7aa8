#include "catalogue/entrycopies.h"

#include <QHash>
#include <array>
#include <vector>

namespace EntryCopies {

RowStore withCatalogueFacts(const RowStore &copies, const RowStore &catalogue)
{
    // The copies by path (few); the catalogue's rows are looked up as they
    // come, so a large catalogue costs one pass and no allocation a row.
    QMultiHash<QByteArrayView, qsizetype> byPath;
    for (qsizetype i = 0; i < copies.size(); ++i)
        byPath.insert(copies.fieldUtf8(i, FieldFilename), i);
    std::vector<qsizetype> entryOf(size_t(copies.size()), -1);
    qsizetype left = copies.size();
    for (qsizetype row = 0; row < catalogue.size() && left > 0; ++row) {
        const auto [first, last] = byPath.equal_range(catalogue.fieldUtf8(row, FieldFilename));
        for (auto it = first; it != last; ++it) {
            qsizetype &entry = entryOf[size_t(*it)];
            if (entry < 0 && copies.fieldUtf8(*it, FieldSource) == catalogue.fieldUtf8(row, FieldSource)) {
                entry = row; // the first entry of a path and source, as everywhere
                --left;
            }
        }
    }
    RowStore filled;
    filled.reserve(copies.size());
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (qsizetype i = 0; i < copies.size(); ++i) {
        const qsizetype entry = entryOf[size_t(i)];
        if (entry < 0) {
            filled.appendRow(copies, i);
            continue;
        }
        for (int f = 0; f < TrackFieldCount; ++f)
            fields[size_t(f)] = f == FieldAudioHeader ? catalogue.fieldUtf8(entry, f) : copies.fieldUtf8(i, f);
        filled.appendUtf8(fields, copies.origin(i), catalogue.extensionUtf8(entry));
    }
    return filled;
}

} // namespace EntryCopies
