#pragma once

#include "base/atomicsave.h"
#include "catalogue/rowstore.h"

#include <QString>
#include <QStringList>
#include <functional>

// The upload-site lists "tunepost-N.m3u": one line per own track, artist
// "-" title ".mp3" (or a name made from the path), each file closed once
// its count of characters (line ends not counted) passes the limit.
namespace TunepostExport {

constexpr qsizetype CharacterLimit = 95000;

QString fileName(int number); // "tunepost-1.m3u"

// The line of one entry, line breaks made blanks, blanks collapsed.
QString lineFor(const QString &artist, const QString &title, const QString &filename);

// The name made from a path when the tags do not give one. A path under
// "/" treats "/" as its drive prefix and "/" as the separator; a path such
// as "C:\Music\x.mp3" from the Windows program keeps "C:\" and "\".
QString nameFromPath(const QString &path);

// Characters, not UTF-16 units: a character outside the basic plane counts once.
qsizetype characterCount(const QString &text);

struct Outcome
{
    QStringList written; // full paths, in the order begun
    bool ok = true;
    QString failedPath;  // the file that could not be written
    QString error;       // and why
};

// Writes the files into folder (created when missing); begun(path) is
// called as each file is begun. Stops at the first file that cannot be
// written. Files of higher numbers from earlier exports are left alone.
Outcome write(const QString &folder, const RowStore &rows, const std::function<void(const QString &)> &begun = {},
              const SaveSystemCalls &calls = {});

QString completeMessage(); // "Export complete."
QString failureMessage(const Outcome &outcome);
QString failureMessage(const QString &failedPath, const QString &error);

} // namespace TunepostExport
