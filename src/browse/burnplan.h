#pragma once

#include "base/atomicsave.h"
#include "catalogue/rowstore.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Preparing an audio burn: the bin's files are copied medium by medium
// into one folder.
namespace BurnPlan {

// The folder with a closing separator; a root such as "/" keeps its own.
QString withClosingSeparator(const QString &folder);

// The distinct sources of the bin rows, in order of first appearance;
// texts are compared exactly (case included).
QStringList sourcesInOrder(const RowStore &bin);

// The copy target of a file: the destination (with its closing separator)
// followed by the file's name. A name that is not UTF-8 is copied under
// the name it is stored by (decoded in its medium's code page), which every
// file system takes and the burning program shows as the catalogue does.
QString targetFor(const QString &destination, const QString &filename);

// One file to copy for a source.
struct Copy
{
    qsizetype binRow = 0;
    QString from;       // the stored path, as shown
    QByteArray opened;  // the bytes that open it (EntryPath)
    QString to;
};

// The copies of one source, in bin order.
std::vector<Copy> copiesFor(const RowStore &bin, const QString &source, const QString &destination);

struct CopyResult
{
    bool ok = true;
    QString error;         // the reason, when !ok
    bool unopened = false; // the file to copy is missing or could not be opened (is its medium in?)
    explicit operator bool() const { return ok; }
};

// Copies from into a temporary file beside target and renames it over the
// target when every byte was written, so a failed copy never leaves a
// partial target; an existing target is replaced only then.
// calls replaces the system calls of the write, for tests.
CopyResult copyInto(QIODevice &from, const QString &target, const SaveSystemCalls &calls = {});
// Copies the plain file at the exact path from (EntryPath::openPath).
CopyResult copyFile(const QByteArray &from, const QString &target, const SaveSystemCalls &calls = {});

} // namespace BurnPlan
