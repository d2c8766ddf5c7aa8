#pragma once

#include "media/walkresult.h"
#include "media/namematcher.h"

#include <QByteArrayList>
#include <QList>
#include <QString>

#include <dirent.h>
#include <set>
#include <sys/types.h>
#include <utility>

// The listing of one folder in a walk: which entries are matching plain
// files, which are subfolders, and which are found but not imported.
namespace MediaWalk {

struct Listing
{
    QByteArrayList files;       // matching plain files, in listing order
    QByteArrayList folders;     // subfolder names, in listing order
    QList<SkippedFile> skipped; // names, not paths, in listing order
    QByteArray coverImage;      // the folder's cover picture (FolderCover), by its name alone
    bool ok = false;
};

// True when a name holds a line break (CR or LF), which the list file cannot store.
bool holdsLineBreak(QByteArrayView name);
// Why a folder whose name holds a line break was not walked.
QString folderLineBreakReason();

// Lists the folders of one walk, each at most once (a bind mount inside
// itself reaches the same folder twice).
class FolderLister
{
public:
    explicit FolderLister(const QString &pattern) : m_matcher(pattern) {}

    // The entries of the open folder dir, each kind sorted in the walk's
    // order; hidden entries are passed over. ok is false when the folder
    // could not be read to its end.
    Listing list(DIR *dir);

private:
    void addEntry(Listing &listing, int dirFd, const dirent *entry);
    // Lists an entry whose name (rawName: entryName's bytes) holds a line
    // break, or a folder whose name is not UTF-8, as skipped; false for a
    // name that can be stored.
    bool skippedAsUnstorable(Listing &listing, const char *entryName, QByteArrayView rawName, bool folder) const;

    NameMatcher m_matcher;
    const QString m_danglingReason = QStringLiteral("a link to a file that does not exist");
    const QString m_folderNameReason =
        QStringLiteral("the folder name is not valid UTF-8: the folder was not scanned");
    const QString m_fileLineBreakReason =
        QStringLiteral("the file name holds a line break, which the catalogue cannot store");
    const QString m_folderLineBreakReason = folderLineBreakReason();
    std::set<std::pair<dev_t, ino_t>> m_visited;
};

} // namespace MediaWalk
