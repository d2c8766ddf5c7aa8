#pragma once

#include "base/atomicsave.h"
#include "catalogue/rowstore.h"

#include <QByteArray>
#include <QString>

// The cover page "zembra.html": one image line per distinct cover picture
// of the catalogue (own and library entries alike), in the order the
// pictures first appear. Two paths that differ only in letter case or in
// surrounding blanks are one picture, spelled as where it first appears.
namespace CoverPage {

QString fileName(); // "zembra.html"

// Whether any entry has a cover picture: without one there is no page.
bool hasCover(const RowStore &rows);

// The whole page, CR LF line ends, UTF-8 (declared); each picture as a
// file:// URI.
QByteArray page(const RowStore &rows);

// Writes the page atomically: a failed write keeps an older page whole.
SaveResult save(const QString &path, const RowStore &rows, const SaveSystemCalls &calls = {});

} // namespace CoverPage
