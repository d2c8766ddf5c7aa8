#pragma once

#include "media/walkresult.h"
#include "catalogue/rowedits.h"
#include "catalogue/rowstore.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What a rescan of one medium would change: each catalogue entry of the
// source is kept, changed, moved, removed or not seen (its folder or its
// file could not be read), and each file of the walk not taken by an entry
// is added.
struct RescanDiff
{
    enum class Kind { Kept, Changed, Moved };
    struct Match
    {
        qsizetype row;     // in the catalogue
        qsizetype scanned; // in the scan's rows
        Kind kind;
    };

    std::vector<Match> matches;    // catalogue order
    std::vector<qsizetype> removed; // catalogue rows, ascending
    std::vector<qsizetype> notSeen; // catalogue rows, ascending
    std::vector<qsizetype> added;   // scan rows, walk order
    // Of the entries not seen, those whose own file could not be read, as
    // its path below the root and the system's reason
    // ("CD2/s2.mp3: Input/output error"), in catalogue order.
    QStringList unreadFiles;

    qsizetype count(Kind kind) const;
    // True when applying would change the catalogue: something added,
    // removed, changed or moved, or a kept entry's path follows its medium
    // to another mount point or its measured facts are new.
    bool changesCatalogue(const RowStore &catalogue, const RowStore &scanned) const;
};

// Compares the entries of source (their paths under oldRoot) with a walk of
// newRoot (the scan's rows, their paths under newRoot). An entry is kept
// when its path relative to the root is found again with the same tags,
// header, size and modification time (the last two when both sides know
// them), changed when found with others, moved when its file is gone but
// a file of the same audio identity (or, for an entry without one, of the
// same name, tags and header) turns up at a new path, and not seen when it
// lies in a folder the walk could not read or its file is one of skipped
// that could not be read (SkippedFile::Unreadable: a scratched disc).
RescanDiff diffRescan(const RowStore &catalogue, const QString &source, const QString &oldRoot,
                      const RowStore &scanned, const QString &newRoot, const QStringList &failedFolders,
                      const QList<SkippedFile> &skipped);

// The root the entries of source in catalogue are compared from: the
// register's, unless none of them lies below it (a relocation cut short
// between the register's write and the list file's, the register naming
// the new folder, the entries the old one); then the folder most of them
// lie in when the files walked below newRoot are found at the ends of
// their paths (the register's when none is).
QString comparedRoot(const RowStore &catalogue, const QString &source, const QString &registeredRoot,
                     const RowStore &scanned, const QString &newRoot);

// "Rescan CD02: 12 added, 3 removed, 5 changed, 2 moved, 800 unchanged."
// with the entries not seen, when there are any, and the first few files
// that could not be read with the system's reason.
QString rescanSummary(const QString &source, const RescanDiff &diff);
// What an applied rescan changed, for a status line: "Rescan HD03: 1
// changed, 4 moved." (only the kinds that happened), or "Rescan HD03:
// nothing changed."
QString rescanDone(const QString &source, const RescanDiff &diff);
// What choosing reading ("Code page windows-1251", "Tag choice id3v2") for
// source did, for a status line: "... applied to HD03: 12 entries
// changed." when the rescan it started changed entries (changed of them),
// "... applied to HD03: no entry changed." when there were none, "...
// saved for HD03; its entries were not changed." when the rescan's
// changes were not applied (changed is none).
QString readingApplied(const QString &reading, const QString &source, std::optional<qsizetype> changed);
// The summary and "Apply these changes?".
QString rescanQuestion(const QString &source, const RescanDiff &diff);

// What brings the catalogue up to date: kept, changed and moved entries
// keep their place, source and cover and take the walk's path, tags,
// header and measured facts, keeping the other keys of their extension
// line (ExtensionLine::withMeasuredFacts); removed ones go; added ones are
// appended in walk order.
RowEdits rescanEdits(const RowStore &catalogue, const RescanDiff &diff, const RowStore &scanned);
