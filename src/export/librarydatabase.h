#pragma once

#include "catalogue/trackrecord.h"

#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QString>
#include <array>
#include <chrono>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;
namespace DescriptorVfs {
struct Target;
}

// The database engine behind library files and the database export: one
// SQLite file holding the table tbl_MP3s with the nine track fields as
// TEXT columns, in their fixed order, with no key and no index.
//
// Every operation reports failure as a value; the reason is in error().
// A file the program writes carries an application id and a user version;
// a file from elsewhere is read whatever it carries, as long as its table
// has the fields asked for, found by name.
class LibraryDatabase
{
public:
    static constexpr int ApplicationId = 0x4f4e444c; // "ONDL"
    static constexpr int UserVersion = 1;
    static constexpr char TableName[] = "tbl_MP3s";

    // A value to store: nullopt leaves the field null.
    using RecordValues = std::array<std::optional<QByteArrayView>, TrackFieldCount>;

    LibraryDatabase() = default;
    ~LibraryDatabase();
    LibraryDatabase(const LibraryDatabase &) = delete;
    LibraryDatabase &operator=(const LibraryDatabase &) = delete;

    // Makes a new database holding the empty table in target's file (an
    // empty one), open for writing. Its pages go to the file as the cache
    // fills, so the memory it takes does not grow with the records; no
    // journal is kept and nothing is synced: the file is only any good
    // once it is written whole and the caller has synced it.
    bool create(DescriptorVfs::Target &target);

    // What reading a file may take: the bytes of the values handed over,
    // each record counted with RecordBytes besides, and the time from
    // opening it to the last record.
    struct ReadLimits
    {
        qint64 bytes = 0;
        std::chrono::milliseconds time{0};
        // The limits a file of that many bytes warrants.
        static ReadLimits forFileSize(qint64 size);
    };
    static constexpr qint64 RecordBytes = 16;

    // Opens a file for reading only, defensively: nothing in it changes, no
    // journal is made beside it, and no trigger, view or other schema code
    // is trusted to run. Without limits, those of the file's size hold.
    bool openReadOnly(const QString &path, std::optional<ReadLimits> limits = {});

    // Writing: one transaction around every record added.
    bool beginWrite();
    bool addRecord(const RecordValues &values);
    bool commit();

    // Reading: a pass over every record of the table, in the file's order.
    // A field the table lacks is reported by hasField() and read as
    // missing; the table itself must be a plain table whose columns all
    // hold stored values.
    bool openRecordset();
    bool hasField(int field) const { return m_columns[size_t(field)] >= 0; }
    enum class Step { Record, End, Failed };
    Step next();
    // The field of the current record as UTF-8; a null gives an empty view.
    // Valid until the next call of next().
    QByteArrayView value(int field);

    void close();
    QString error() const { return m_error; }

    // The longest field value a reader takes.
    static constexpr int MaxValueBytes = 1 << 20;

    // True when a write-ahead log that may hold changes lies beside the
    // file at path; a read-only pass does not see them. beside gets its name.
    static bool changesBeside(const QString &path, QString *beside = nullptr);

private:
    bool fail(const QString &what);
    bool cannotRead();
    bool exec(const char *sql);
    bool plainTable();
    bool onlyStoredColumns();
    bool prepareSelect();
    static int onProgress(void *self);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    sqlite3_stmt *m_select = nullptr;
    std::array<int, TrackFieldCount> m_columns{};
    std::array<QByteArray, TrackFieldCount> m_converted; // values that had to be re-encoded
    QString m_error;
    QString m_path; // the file open for reading
    ReadLimits m_limits;
    QDeadlineTimer m_deadline;
    qint64 m_bytesRead = 0;
    bool m_timedOut = false;
};
