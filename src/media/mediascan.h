#pragma once

#include "catalogue/rowstore.h"
#include "catalogue/trackrecord.h"
#include "media/mediafile.h"
#include "media/mediawalk.h"
#include "media/tracktags.h"
#include "media/tagreading.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

// A scan of one medium: the walk that collects the MP3 paths, then the
// import that turns each path into a new own entry. Runs on any thread;
// the callbacks are called on the thread that runs it.

// What a scan stores for one file, path and source aside: the tags as
// media/tagchoice.h chooses them from its ID3v1 and ID3v2 tags.
// audioheader is empty when the file has no frame header. status tells
// whether the path was a plain file that could be opened (SafeFileRead::Status::Read);
// otherwise problem says why not, in words, and the rest is empty.
struct TrackInfo
{
    TrackTags tags;
    QString audioheader;
    SafeFileRead::Status status = SafeFileRead::Status::Missing;
    QString problem;
};

// Never blocks: a named pipe or a device at path is refused, not read.
TrackInfo readTrackInfo(const QString &path, TagPreference prefer = TagPreference::Id3v1);

// What the walk of a scan tells as it goes (a folder, its files found,
// with the number found so far); how far the scan has got goes to its
// WorkProgress.
struct ScanCallbacks
{
    std::function<void(const QString &folder, qsizetype found)> folderEntered;
    // After a folder's files were found and before any of them is read.
    std::function<void(qsizetype found)> filesFound;
};

struct ScanOutcome
{
    RowStore rows;             // the new entries, in walk order
    QStringList failedFolders; // folders the walk could not read
    // Found but not imported, in walk order (SkippedFile is declared with
    // the walk): names that are not plain files at walk or read time,
    // dangling links, names that are not valid UTF-8 or hold a line break,
    // files the system could not open or read (SkippedFile::Unreadable).
    QList<SkippedFile> skipped;
    bool stopped = false;      // stopped by the caller: rows is then empty
};

// What a scan left out, for its summary line: "3 skipped (2 names not
// valid UTF-8, 1 name with a line break), 1 folder could not be read";
// empty when it left nothing out.
QString leftOutSummary(const ScanOutcome &outcome);

// How many files a scan of root reads at once, by its medium, not by the
// cores: one on optical media (iso9660 or udf, or a /dev/sr* device),
// where reading in walk order spares the drive its seeks; several
// elsewhere, since a cold read waits on the disk or the memory stick, which
// serves several waiting reads faster than one after the other.
int readersForMedium(const QString &root);

// Walks root with the pattern "*.MP3" and imports every file found, with
// readers files read at once (0: readersForMedium), from the first folder
// listed on. The rows come in walk order whatever the number of readers.
// The files are read while the walk goes on, but told as imported only
// once the walk has ended and their total is known: while walking,
// progress has the files found and a total of 0; then a step of 0 of the
// total, and one after each file imported (at once as far as they were
// read already). A stop asked through progress ends the scan.
// Tags are read as reading says, the medium's (its code page one of
// CodePage::names(); the callers refuse any other). The files are opened
// and read through calls when given (tests make them fail so).
ScanOutcome scanMedia(const QString &root, const QString &source, const ScanCallbacks &callbacks = {},
                      WorkProgress *progress = nullptr, int readers = 0,
                      const TagReading &reading = {},
                      const SafeFileRead::ReadSystemCalls *calls = nullptr);
