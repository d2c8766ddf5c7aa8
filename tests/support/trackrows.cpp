#include "trackrows.h"

CatalogueEntry entryOf(const QStringList &fields, EntryOrigin origin)
{
    CatalogueEntry entry;
    entry.origin = origin;
    for (int i = 0; i < TrackFieldCount && i < fields.size(); ++i)
        entry.record.field(i) = fields.at(i);
    return entry;
}

RowStore rowsOf(const QList<CatalogueEntry> &entries)
{
    RowStore rows;
    for (const CatalogueEntry &entry : entries)
        rows.append(entry.record, entry.origin);
    return rows;
}

QList<CatalogueEntry> entriesOf(const RowStore &rows)
{
    QList<CatalogueEntry> entries;
    for (qsizetype i = 0; i < rows.size(); ++i)
        entries << rows.entry(i);
    return entries;
}
