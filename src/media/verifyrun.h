#pragma once

#include "base/plainfileopen.h"
#include "base/workprogress.h"
#include "catalogue/rowedits.h"
#include "catalogue/rowstore.h"
#include "media/mediaregister.h"
#include "media/mediastate.h"
#include "media/verify.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

// The reading of a verification: every catalogued file of a medium read
// whole, in the walk's order, a block at a time (never a file whole in
// memory), by as many readers at once as a scan of the medium uses; what
// is found is judged by Verify::judge. Nothing is changed: the marks and
// the register's note are handed back for the caller to apply and save.
namespace Verify {

// Bytes read at once: a Stop is seen between two reads, well within a
// second even from a CD drive.
constexpr qint64 BlockBytes = qint64(512) << 10;
// Bytes read at once when a failed read is tried once more, so that the
// place where it fails is known to a few sectors.
constexpr qint64 RetryBytes = 4096;

// Reads the file at path (its exact bytes) whole through the safe opener,
// opened and read through calls when given (tests make reads fail so): its
// stream facts as a scan reads them, then every byte in order, following
// the audio's frames. A failed read is tried once more; when it fails again
// the rest of the file is left unread. The bytes read are added to
// progress's done; a Stop asked through it ends the reading between two
// reads (stopped then set, and the reading is no answer).
Reading readWhole(const QByteArray &path, const SafeFileRead::ReadSystemCalls *calls = nullptr,
                  WorkProgress *progress = nullptr, bool *stopped = nullptr);

struct FileResult
{
    qsizetype row = 0; // in the rows verified
    QString path;      // the entry's path as catalogued
    Status status = Status::Ok;
    QString detail;
};

struct Outcome
{
    QString source;
    std::vector<FileResult> files; // in walk order
    MediumVerification counts;     // with the time it ended
    bool stopped = false;          // stopped by the user: nothing else holds
};

// Verifies the own entries of source in rows (which must not change
// meanwhile), each file where its medium is mounted now (states), with
// readers files read at once (0: as a scan of the medium's current root
// reads, one on optical media). progress counts bytes: its total is the
// catalogued size of the files.
Outcome run(const RowStore &rows, const QString &source, const MediaStates &states, WorkProgress *progress = nullptr,
            int readers = 0, const SafeFileRead::ReadSystemCalls *calls = nullptr);

// The problem marks of the outcome as edits to the rows it was found on:
// set where a file has a problem, taken away where it has none now.
RowEdits markEdits(const RowStore &rows, const Outcome &outcome);

} // namespace Verify
