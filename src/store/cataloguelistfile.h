#pragma once

#include "store/atomicsave.h"
#include "store/rowstore.h"

#include <QByteArrayView>
#include <QIODevice>
#include <functional>

// The catalogue list file: eleven lines per own entry (the nine fields and
// two empty lines), each ended by CR LF, no header. Library entries are
// never written.
namespace CatalogueListFile {

// Called after row i (1-based) of n, whether that row was written or not.
using Progress = std::function<void(qsizetype i, qsizetype n)>;

QString defaultPath();

// Whole records in file order, all own entries; reading stops quietly at
// the first incomplete record. UTF-8 when the bytes are valid UTF-8,
// otherwise Windows-1252. A line ends at CR, CR LF or LF.
RowStore parse(QByteArrayView bytes);

// As parse(); a missing or unreadable file gives no rows.
RowStore read(const QString &path);

// Writes the own rows to the device; false when the device fails.
bool write(QIODevice &device, const RowStore &rows, const Progress &progress = {});

// Replaces the file atomically: on failure the old file stays whole.
SaveResult save(const QString &path, const RowStore &rows, const Progress &progress = {});

} // namespace CatalogueListFile
