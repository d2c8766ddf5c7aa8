#pragma once

#include <QIODevice>
#include <QString>
#include <functional>

// Writes a file so that it is either wholly replaced or left as it was:
// the content goes to a temporary file in the same folder, is flushed to
// disk and then renamed over the target. Creates the folder when missing.
// A link, or a chain of them, stays: the file at its end is replaced, and
// a link to nothing or a loop of links is refused. Every failure carries
// the system's reason ("No space left on device").
struct SaveResult
{
    bool ok = true;
    QString error;             // the reason, when !ok
    bool previousKept = false; // !ok and the target existed before: it is untouched

    explicit operator bool() const { return ok; }
};

// The system calls a save makes, one per step, each like its POSIX
// namesake (-1 and errno on failure). Empty means the system's own; tests
// set one to make that step fail.
struct SaveSystemCalls
{
    std::function<int(const char *path, int flags, int mode)> open; // of the temporary file
    std::function<qint64(int fd, const char *data, qint64 size)> write;
    std::function<int(int fd)> sync;
    std::function<int(const char *from, const char *to)> rename;
};

// write() puts the content into the device and returns false to give up
// (the target then stays untouched); its own failures show in the device,
// whose errorString() is the system's reason.
SaveResult saveAtomically(const QString &path, const std::function<bool(QIODevice &)> &write,
                          const SaveSystemCalls &calls = {});

// Removes from folder what saves killed half-way left there: temporary
// files that no writer holds locked and that have not changed for a
// minute (a writer takes its lock just after it makes its file). A save
// does this for its own file's name; the programs do it for their folders
// as they start.
void removeAbandonedTemporaries(const QString &folder);
// What either program does as it starts: the above for the data folder
// and the exports folder, a listing of each, so start-up does not wait.
void removeAbandonedSaves(const QString &dataFolder);

// The message a user sees when a save fails.
QString saveFailureMessage(const QString &path, const SaveResult &result);
