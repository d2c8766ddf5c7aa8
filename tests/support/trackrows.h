#pragma once

#include "catalogue/rowstore.h"

#include <QList>

// Catalogue rows for tests: an entry from its fields in their fixed order
// (filename, source, artist, track, album, year, genre, coverimage,
// audioheader; missing ones empty), and rows from a list of entries.
CatalogueEntry entryOf(const QStringList &fields, EntryOrigin origin = EntryOrigin::Own);
RowStore rowsOf(const QList<CatalogueEntry> &entries);
QList<CatalogueEntry> entriesOf(const RowStore &rows);
