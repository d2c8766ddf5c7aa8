#pragma once

#include "store/rowstore.h"
#include "store/trackrecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

// A scan of one medium: the walk that collects the MP3 paths, then the
// import that turns each path into a new own entry. Runs on any thread;
// the callbacks are called on the thread that runs it.

// The five tag fields a scan stores: from the ID3v1 tag when the file has
// one, otherwise from its ID3v2 tag.
struct TrackTags
{
    QString artist;
    QString track;
    QString album;
    QString year;
    QString genre;
};

// What a scan stores for one file, path and source aside. audioheader is
// empty when the file has no frame header.
struct TrackInfo
{
    TrackTags tags;
    QString audioheader;
};

TrackInfo readTrackInfo(const QString &path);

// The new own entry for one scanned path.
TrackRecord importTrack(const QString &path, const QString &source);

struct WalkResult
{
    QStringList files;         // matching files, in walk order
    QStringList failedFolders; // folders that could not be read
    bool stopped = false;
};

struct WalkCallbacks
{
    // Once per folder entered, with the number of files found so far.
    std::function<void(const QString &folder, qsizetype found)> folderEntered;
};

// Collects every file under root whose name matches pattern ("*.MP3",
// case-insensitive): a folder's own files first, then its subfolders
// depth first, names in case-insensitive order. Hidden entries and
// symbolic links to folders are skipped. Stops early when stop is set.
WalkResult findFiles(const QString &root, const QString &pattern, const WalkCallbacks &callbacks = {},
                     const std::atomic_bool *stop = nullptr);

struct ScanCallbacks
{
    std::function<void(const QString &folder, qsizetype found)> folderEntered;
    std::function<void(qsizetype total)> importStarted;
    // After file i (1-based) of total has been imported.
    std::function<void(qsizetype i, qsizetype total)> fileImported;
};

// A file or folder the scan found but did not import, with the reason in
// words (for instance a named pipe with a matching name, or a name that is
// not valid UTF-8).
struct SkippedFile
{
    QString path;
    QString reason;
};

struct ScanOutcome
{
    RowStore rows;             // the new entries, in walk order
    QStringList failedFolders; // folders the walk could not read
    QList<SkippedFile> skipped; // found but not imported, in walk order
    bool stopped = false;      // stopped by the caller: rows is then empty
};

// Walks root with the pattern "*.MP3" and imports every file found.
ScanOutcome scanMedia(const QString &root, const QString &source, const ScanCallbacks &callbacks = {},
                      const std::atomic_bool *stop = nullptr);
