#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

// A file or folder the scan found but did not import, with the reason in
// words (for instance a named pipe with a matching name, or a name that is
// not valid UTF-8) and as a kind, for counting.
struct SkippedFile
{
    enum Kind {
        NameNotUtf8,       // stored, it would point nowhere
        NameWithLineBreak, // the list file holds no line break: stored, it would point nowhere
        NotPlainFile,      // a pipe, a device, a link to one
        Missing,           // a dangling link, or gone by the time it was read
    };
    QString path;
    QString reason;
    Kind kind = NotPlainFile;
};

struct WalkCallbacks
{
    // Once per folder entered, with the number of files found so far.
    std::function<void(const QString &folder, qsizetype found)> folderEntered;
};

// The walk's result in the bytes of the file system, for the scan: every
// folder's path once, and every file as its folder and its name, so that
// files open relative to their folder and names are never decoded.
struct WalkedFile
{
    qsizetype folder; // index into folders
    QByteArray name;
};

struct ByteWalkResult
{
    std::vector<QByteArray> folders;
    std::vector<WalkedFile> files; // in walk order
    QStringList failedFolders;
    QList<SkippedFile> skipped;
    bool stopped = false;

    // The file's path as bytes.
    QByteArray pathBytes(const WalkedFile &file) const;
};

// The folder walk of a scan, over the system's directory listing.
namespace MediaWalk {

// Collects every file under root whose name matches pattern ("*.MP3",
// case-insensitive), as bytes: a folder's own files first, then its
// subfolders depth first, names in case-insensitive order. Hidden entries
// and symbolic links to folders are passed over. An entry that vanished or
// a dangling link does not fail its folder; only a folder that cannot be
// opened or read counts as failed. Names that are not valid UTF-8 or hold
// a line break (CR or LF) cannot be stored so that they open again: such a
// file or folder is listed as skipped (a root whose path holds a line
// break too), as is a matching name that is not a plain file (a pipe, a
// device, a link to one). Folders open relative to their parent, so a
// tree of any depth is walked, and a path longer than the system opens in
// one piece is still found and stored whole: such a file is imported like
// any other (its tags are read now, and this program's readers open it in
// steps later), since the entry says truly what the medium holds even where
// another program cannot open the path. Stops early when stop is set.
ByteWalkResult walkBytes(const QString &root, const QString &pattern, const WalkCallbacks &callbacks = {},
                         const std::atomic_bool *stop = nullptr);

// The path of an entry of folder (no doubled separator after "/").
QString childPath(const QString &folder, const QString &name);

} // namespace MediaWalk
