#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// What a walk of a medium gives (MediaWalk::walkBytes, mediawalk.h), and
// what it tells while it runs.

// A file or folder the scan found but did not import, with the reason in
// words (for instance a named pipe with a matching name, or a name that is
// not valid UTF-8) and as a kind, for counting.
struct SkippedFile
{
    enum Kind {
        NameNotUtf8,       // a folder's: every path below it would need its bytes kept
        NameWithLineBreak, // the list file holds no line break: stored, it would point nowhere
        NotPlainFile,      // a pipe, a device, a link to one
        Missing,           // a dangling link, or gone by the time it was read
        Unreadable,        // the system could not open or read it ("Input/output error")
    };
    QString path;
    QString reason;
    Kind kind = NotPlainFile;
    // A file whose name is not UTF-8: its name's exact bytes (path holds it
    // decoded, as its entry stores it), so a rescan finds the entry.
    QByteArray rawName = {};
};

struct WalkCallbacks
{
    // Once per folder entered, with the number of files found so far.
    std::function<void(const QString &folder, qsizetype found)> folderEntered;
    // Once per folder that holds matching files, right after its listing,
    // with the folder's path, its descriptor (open while the call lasts: a
    // caller that keeps it duplicates it), the files' names in walk order
    // and whether the folder holds a cover picture (FolderCover). When set,
    // the files go to it and not into the result, so a scan reads them
    // while the walk goes on.
    std::function<void(const QByteArray &folder, int folderFd, QByteArrayList &names, bool coverImage)> filesListed;
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
    std::vector<WalkedFile> files; // in walk order (empty when filesListed took them)
    QStringList failedFolders;
    QList<SkippedFile> skipped;
    bool stopped = false;

    // The file's path as bytes.
    QByteArray pathBytes(const WalkedFile &file) const;
};

namespace MediaWalk {

// The path of an entry of folder (no doubled separator after "/").
QString childPath(const QString &folder, const QString &name);

} // namespace MediaWalk
