#include "catalogue/entrystream.h"

EntryView EntryView::of(const RowStore &rows, qsizetype row)
{
    EntryView entry;
    for (int f = 0; f < TrackFieldCount; ++f)
        entry.fields[size_t(f)] = rows.fieldUtf8(row, f);
    entry.extension = rows.extensionUtf8(row);
    entry.origin = rows.origin(row);
    return entry;
}

EntryStream streamOf(const RowStore &rows, WorkProgress *progress)
{
    return [&rows, progress](const EntrySink &sink) {
        const qsizetype n = rows.size();
        for (qsizetype row = 0; row < n; ++row) {
            if (!sink(EntryView::of(rows, row)) || !workStep(progress, row + 1, n))
                return false;
        }
        return true;
    };
}

EntryStream streamOf(const RowStore &rows, std::vector<qsizetype> listed, WorkProgress *progress)
{
    return [&rows, listed = std::move(listed), progress](const EntrySink &sink) {
        const qsizetype n = qsizetype(listed.size());
        for (qsizetype i = 0; i < n; ++i) {
            if (!sink(EntryView::of(rows, listed[size_t(i)])) || !workStep(progress, i + 1, n))
                return false;
        }
        return true;
    };
}
