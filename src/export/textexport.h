#pragma once

#include "base/atomicsave.h"
#include "catalogue/rowstore.h"
#include "base/workprogress.h"

#include <QIODevice>
#include <QString>
#include <functional>

// The plain text index: one line per catalogue entry (own and library
// entries alike), its full path, each line ended by CR LF, nothing else;
// a line break inside a path is written as a blank.
namespace TextExport {

QString fileName(); // "ondrolist.txt"

// Writes the lines to the device, a step of progress after each;
// false when the device fails.
bool write(QIODevice &device, const RowStore &rows, WorkProgress *progress = nullptr);

// Replaces the file atomically: on failure an older export stays whole.
SaveResult save(const QString &path, const RowStore &rows, WorkProgress *progress = nullptr,
                const SaveSystemCalls &calls = {});

} // namespace TextExport
