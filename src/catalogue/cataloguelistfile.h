#pragma once

#include "base/atomicsave.h"
#include "catalogue/entrystream.h"
#include "base/filestamp.h"
#include "catalogue/rowstore.h"
#include "base/safefileread.h"
#include "base/workprogress.h"

#include <QByteArrayView>
#include <QIODevice>
#include <functional>

// The catalogue list file: eleven lines per own entry (the nine fields,
// the extension line, empty when the entry has no facts, and an empty
// line), each ended by CR LF, no header. Library entries are never written.
namespace CatalogueListFile {

QString defaultPath();

// How a read of the list file went. Callers must not save over a file
// that exists but could not be read: that would wipe the user's catalogue.
enum class ReadState {
    Missing,    // no file: an empty catalogue
    Whole,      // every record read
    Damaged,    // the whole records before the damage were kept
    Unreadable, // nothing could be read; reason says why
};

struct ReadResult
{
    RowStore rows;
    qsizetype records = 0; // whole records (check() counts them, rows stay empty)
    ReadState state = ReadState::Missing;
    QString reason;  // Unreadable: the system's reason; Damaged: what is wrong
    FileStamp stamp; // the file as it was read, to notice later changes

    bool mayBeReplaced() const { return state != ReadState::Unreadable; }
};

// Whole records in file order, all own entries (state Whole or Damaged).
// A line ends at CR, CR LF or LF. A record is UTF-8 when its fields are
// valid UTF-8, otherwise Windows-1252. A last record that the end of the
// file cuts off after its nine fields is whole; one cut off inside them is
// dropped (Damaged).
ReadResult parse(QByteArrayView bytes);

// Takes the whole records of a list file one at a time, in file order,
// as they are cut from it, for a reader that need not hold them all.
class RecordVisitor
{
public:
    virtual ~RecordVisitor() = default;
    // The file that was opened, before its first record.
    virtual void opened(const FileStamp &) {}
    // The nine fields of a whole record as UTF-8 (a Windows-1252 record
    // already converted) and its extension line (empty when line 10 is not
    // one); the views last until the call returns.
    virtual void record(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension) = 0;
};

// Reads the file at path like read(), handing each whole record to the
// visitor instead of building rows: state, reason, stamp and records as
// read() gives them, rows empty. Unreadable after records were handed on
// means the read failed part-way: what was made of them is no catalogue.
ReadResult visit(const QString &path, RecordVisitor &visitor, const SafeFileRead::Options &options = {});
// The file's records as a stream of own entries: each use reads the file
// into read; false when the sink stopped or the file could not be read.
EntryStream stream(const QString &path, ReadResult &read);

// Reads the file at path; see ReadState. Anything but a plain file (a
// folder, a named pipe, a device) and a file over the size limit are
// Unreadable, with the reason.
ReadResult read(const QString &path);
ReadResult read(const QString &path, const SafeFileRead::Options &options);

// How read() would go, without building the rows: state, reason, stamp
// and records as read() gives them, at the cost of reading the bytes.
// For a caller that only adds records (see appendRecords).
ReadResult check(const QString &path, const SafeFileRead::Options &options = {});

// What to tell the user about a read that was not whole (empty for
// Missing and Whole): the file, and the reason or the records kept.
QString readProblemMessage(const QString &path, const ReadResult &result);

// Writes the own rows to the device, a step of progress after every row,
// own or not; false when the device fails.
bool write(QIODevice &device, const RowStore &rows, WorkProgress *progress = nullptr);

// Replaces the file atomically: on failure the old file stays whole.
SaveResult save(const QString &path, const RowStore &rows, WorkProgress *progress = nullptr,
                const SaveSystemCalls &calls = {});

// Adds the own rows of newRows at the end of the file at path without
// parsing or re-encoding its UTF-8 records: a temporary file in the same
// folder gets the file's bytes as they are, the line ends its last record
// lacks (an editor may have stripped them) and the new records, and is
// synced and renamed over the file. A file that is not all UTF-8 is copied
// record by record instead: its records that are not UTF-8 (Windows-1252)
// are written anew as UTF-8, the others go over as they are. The file stays untouched, and the save fails
// with the reason, when it is not the file of expectedStamp (another
// program changed or replaced it since it was read), when it cannot be
// read whole, or when it ends inside a record. A stamp of a missing file
// expects no file: the new records alone are written.
SaveResult appendRecords(const QString &path, const FileStamp &expectedStamp, const RowStore &newRows,
                         const SafeFileRead::Options &options = {});

} // namespace CatalogueListFile
