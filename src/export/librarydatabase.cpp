#include "export/librarydatabase.h"

#include "export/descriptorvfs.h"

#include "base/textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

#include <sqlite3.h>

namespace {

// Longest value (and record) a written file may hold. Far above any path
// or tag; a longer one is refused as an error instead of being stored.
constexpr int MaxRecordBytes = 1 << 20;
// The pages a database being written keeps in memory (4 KiB each); the
// rest are written out as it grows.
constexpr int CachePages = 2048;
// Longest string, record or schema text a read file may hand over, so a
// hostile file cannot make one value take the memory; fields longer than
// MaxValueBytes are refused by the reader after that.
constexpr int MaxReadBytes = 64 << 20;

// What a genuine file hands over as text is at most about three times
// what it stores (a stored 8-byte number prints as up to 24 characters, a
// Windows-1252 byte becomes up to three bytes of UTF-8, a record of nulls
// takes about RecordBytes in the file); more than four times the file,
// beyond room for a few records of longest values, comes only from pages
// a damaged or crafted file reads again and again.
constexpr qint64 ReadBytesPerFileByte = 4;
constexpr qint64 ReadBytesMargin = qint64(64) << 20;
// A genuine library of a million records (216 MB) loads in about 5 s on a
// busy machine, most of it waiting for the processor; these allow a slow
// disk or machine some twenty times that.
constexpr std::chrono::milliseconds ReadTimeFloor{5000};
constexpr std::chrono::milliseconds ReadTimePerMiB{500};

// The table's name as messages show it.
QString table()
{
    return QString::fromLatin1(LibraryDatabase::TableName);
}

// How many engine steps go by between looks at the clock.
constexpr int StepsBetweenLooks = 1000;
// The longest column name a message quotes.
constexpr qsizetype ShownNameLength = 60;

// The journal magic of a rollback journal that still holds the old pages
// of an unfinished change.
constexpr char JournalMagic[] = "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";

bool holdsUnfinishedChange(const QString &journal)
{
    QFile file(journal);
    if (!QFileInfo(journal).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    return file.read(8) == QByteArrayView(JournalMagic, 8);
}

QByteArray quotedName(const QString &name)
{
    QByteArray quoted = name.toUtf8();
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QString shownName(const char *name)
{
    const QString text = QString::fromUtf8(name);
    return text.size() > ShownNameLength ? text.left(ShownNameLength - 1) + QChar(0x2026) : text;
}

} // namespace

LibraryDatabase::~LibraryDatabase()
{
    close();
}

LibraryDatabase::ReadLimits LibraryDatabase::ReadLimits::forFileSize(qint64 size)
{
    const qint64 mib = (std::max<qint64>(size, 0) + (1 << 20) - 1) >> 20;
    return {ReadBytesPerFileByte * std::max<qint64>(size, 0) + ReadBytesMargin, ReadTimeFloor + ReadTimePerMiB * mib};
}

int LibraryDatabase::onProgress(void *self)
{
    auto *db = static_cast<LibraryDatabase *>(self);
    if (db->m_deadline.hasExpired())
        db->m_timedOut = true;
    return db->m_timedOut ? 1 : 0; // non-zero interrupts the statement
}

bool LibraryDatabase::cannotRead()
{
    return fail(QStringLiteral("cannot read %1").arg(table()));
}

bool LibraryDatabase::fail(const QString &what)
{
    if (m_timedOut) {
        m_error = QStringLiteral("reading it was stopped after %1 seconds, longer than a file of its size needs")
                      .arg(QString::number(double(m_limits.time.count()) / 1000.0));
        return false;
    }
    m_error = m_db ? QStringLiteral("%1 (%2)").arg(what, QString::fromUtf8(sqlite3_errmsg(m_db))) : what;
    return false;
}

bool LibraryDatabase::exec(const char *sql)
{
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (m_timedOut) {
        sqlite3_free(message);
        return fail({});
    }
    m_error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
    sqlite3_free(message);
    return false;
}

bool LibraryDatabase::create(DescriptorVfs::Target &target)
{
    close();
    m_error.clear();
    if (DescriptorVfs::open(target, &m_db) != SQLITE_OK)
        return fail(QStringLiteral("cannot make a database"));
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, MaxRecordBytes);
    // The file is private until it is renamed into place: no locks, no
    // journal, no syncs of SQLite's own.
    const QByteArray schema =
        QByteArrayLiteral("PRAGMA locking_mode=EXCLUSIVE; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; "
                          "PRAGMA cache_size=") + QByteArray::number(CachePages) +
        "; PRAGMA application_id=" + QByteArray::number(ApplicationId) +
        "; PRAGMA user_version=" + QByteArray::number(UserVersion) +
        "; CREATE TABLE " + TableName + " (filename TEXT, source TEXT, artist TEXT, track TEXT, album TEXT, year TEXT, "
        "genre TEXT, coverimage TEXT, audioheader TEXT);";
    return exec(schema.constData());
}

bool LibraryDatabase::openReadOnly(const QString &path, std::optional<ReadLimits> limits)
{
    close();
    m_error.clear();
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("no such file"));
    if (!info.isFile())
        return fail(QStringLiteral("not a plain file"));
    m_path = path;
    m_limits = limits ? *limits : ReadLimits::forFileSize(info.size());
    m_deadline = QDeadlineTimer(m_limits.time);
    m_bytesRead = 0;
    m_timedOut = false;
    // A rollback journal beside it means a change to the file is under way
    // or was cut off: its pages may be half old, half new, and putting the
    // old ones back would write to it.
    const QString file = info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    if (holdsUnfinishedChange(file + QStringLiteral("-journal")))
        return fail(QStringLiteral("another program is changing it, or a change to it was cut off (%1 is beside it)")
                        .arg(QFileInfo(file).fileName() + QStringLiteral("-journal")));
    // immutable: no lock, no journal and no other file is made beside it.
    const QByteArray uri = QUrl::fromLocalFile(info.absoluteFilePath()).toEncoded() + "?immutable=1";
    if (sqlite3_open_v2(uri.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("cannot open the file"));
    sqlite3_extended_result_codes(m_db, 1);
    int unused = 0;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, &unused);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &unused);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &unused);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, &unused);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, &unused);
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, MaxReadBytes);
    sqlite3_limit(m_db, SQLITE_LIMIT_SQL_LENGTH, MaxReadBytes);
    // A statement that runs past the time the file warrants is interrupted.
    sqlite3_progress_handler(m_db, StepsBetweenLooks, onProgress, this);
    // Damaged pages are found when they are read instead of being trusted.
    return exec("PRAGMA cell_size_check=ON; PRAGMA query_only=ON;");
}

bool LibraryDatabase::changesBeside(const QString &path, QString *beside)
{
    const QFileInfo info(path);
    const QString file = info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QFileInfo wal(file + QStringLiteral("-wal"));
    if (!wal.isFile() || wal.size() == 0)
        return false;
    if (beside)
        *beside = wal.fileName();
    return true;
}

bool LibraryDatabase::beginWrite()
{
    if (!m_db)
        return fail(QStringLiteral("no database is open"));
    if (!exec("BEGIN"))
        return false;
    const QByteArray sql = QByteArrayLiteral("INSERT INTO ") + TableName +
                           " (filename, source, artist, track, album, year, genre, coverimage, audioheader) "
                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)";
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &m_insert, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("cannot add records"));
    return true;
}

bool LibraryDatabase::addRecord(const RecordValues &values)
{
    if (!m_insert)
        return fail(QStringLiteral("no write was begun"));
    for (int i = 0; i < TrackFieldCount; ++i) {
        const auto &value = values[size_t(i)];
        // An empty value is bound as text with a real pointer: a null
        // pointer would store a null.
        const int bound = value ? sqlite3_bind_text(m_insert, i + 1, value->isEmpty() ? "" : value->data(),
                                                    int(value->size()), SQLITE_STATIC)
                                : sqlite3_bind_null(m_insert, i + 1);
        if (bound != SQLITE_OK) {
            sqlite3_reset(m_insert);
            return fail(QStringLiteral("cannot store a record"));
        }
    }
    const int stepped = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    if (stepped != SQLITE_DONE)
        return fail(QStringLiteral("cannot store a record"));
    return true;
}

bool LibraryDatabase::commit()
{
    if (m_insert) {
        sqlite3_finalize(m_insert);
        m_insert = nullptr;
    }
    return m_db && exec("COMMIT");
}

bool LibraryDatabase::openRecordset()
{
    if (!m_db)
        return fail(QStringLiteral("no database is open"));
    return plainTable() && onlyStoredColumns() && prepareSelect();
}

// Only a plain table is read: a view or a virtual table would run code
// that came with the file.
bool LibraryDatabase::plainTable()
{
    sqlite3_stmt *kind = nullptr;
    const QByteArray query =
        QByteArrayLiteral("SELECT type, sql FROM main.sqlite_schema WHERE name = '") + TableName + "' COLLATE NOCASE";
    if (sqlite3_prepare_v2(m_db, query.constData(), -1, &kind, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("not a library"));
    const int stepped = sqlite3_step(kind);
    const auto text = [&](int c) { return QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(kind, c))); };
    const QByteArray type = stepped == SQLITE_ROW ? text(0) : QByteArray();
    const QByteArray sql = stepped == SQLITE_ROW ? text(1).trimmed() : QByteArray();
    const bool read = stepped == SQLITE_ROW || stepped == SQLITE_DONE || fail(QStringLiteral("not a library"));
    sqlite3_finalize(kind);
    if (!read)
        return false;
    if (type.isEmpty()) {
        // A table made in write-ahead mode may not be in the file itself yet.
        QString wal;
        m_error = changesBeside(m_path, &wal)
                      ? QStringLiteral("it holds no table %1; changes kept in %2 beside it, which may hold it, "
                                       "were not read")
                            .arg(table(), wal)
                      : QStringLiteral("it holds no table %1").arg(table());
        return false;
    }
    if (type != "table" || sql.left(14).toUpper().startsWith("CREATE VIRTUAL")) {
        m_error = QStringLiteral("its %1 is not a plain table").arg(table());
        return false;
    }
    return true;
}

bool LibraryDatabase::onlyStoredColumns()
{
    // A generated column computes its values whenever it is read, with code
    // that came with the file and takes the time and memory it likes; a
    // hidden one is not what it seems. Each column shows which it is.
    sqlite3_stmt *columns = nullptr;
    const QByteArray pragma = QByteArrayLiteral("PRAGMA main.table_xinfo(") + TableName + ')';
    if (sqlite3_prepare_v2(m_db, pragma.constData(), -1, &columns, nullptr) != SQLITE_OK)
        return cannotRead();
    constexpr int NameColumn = 1;
    constexpr int HiddenColumn = 6; // 0 stored, 1 hidden, 2 and 3 generated
    int stepped;
    while ((stepped = sqlite3_step(columns)) == SQLITE_ROW) {
        const int hidden = sqlite3_column_int(columns, HiddenColumn);
        if (hidden == 0)
            continue;
        const QString name = shownName(reinterpret_cast<const char *>(sqlite3_column_text(columns, NameColumn)));
        m_error = hidden == 1 ? QStringLiteral("its %1 has a hidden column %2").arg(table(), name)
                              : QStringLiteral("its %1 computes the values of its column %2 instead of storing "
                                               "them")
                                    .arg(table(), name);
        sqlite3_finalize(columns);
        return false;
    }
    sqlite3_finalize(columns);
    return stepped == SQLITE_DONE || cannotRead();
}

// The table's columns are learnt from a statement that is never run; the
// pass itself reads only the track fields, so a huge value in any other
// column is never loaded.
bool LibraryDatabase::prepareSelect()
{
    sqlite3_stmt *all = nullptr;
    const QByteArray from = QByteArrayLiteral(" FROM main.") + TableName;
    if (sqlite3_prepare_v2(m_db, ("SELECT *" + from).constData(), -1, &all, nullptr) != SQLITE_OK)
        return cannotRead();
    m_columns.fill(-1);
    std::array<QString, TrackFieldCount> found;
    const auto &names = TrackRecord::fieldNames();
    for (int c = 0; c < sqlite3_column_count(all); ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(all, c));
        for (int f = 0; f < TrackFieldCount; ++f)
            if (found[size_t(f)].isEmpty() && name.compare(names[size_t(f)], Qt::CaseInsensitive) == 0)
                found[size_t(f)] = name;
    }
    sqlite3_finalize(all);
    QByteArray select = "SELECT ";
    int column = 0;
    for (int f = 0; f < TrackFieldCount; ++f) {
        if (found[size_t(f)].isEmpty())
            continue;
        select += (column ? ", " : "") + quotedName(found[size_t(f)]);
        m_columns[size_t(f)] = column++;
    }
    if (column == 0)
        select += "NULL";
    select += from;
    if (sqlite3_prepare_v2(m_db, select.constData(), -1, &m_select, nullptr) != SQLITE_OK)
        return cannotRead();
    return true;
}

LibraryDatabase::Step LibraryDatabase::next()
{
    if (!m_select) {
        fail(QStringLiteral("no record set is open"));
        return Step::Failed;
    }
    // The values of the records before, counted as value() handed them over.
    if (m_bytesRead > m_limits.bytes) {
        m_error = QStringLiteral("its records add up to more than %1 MiB, more than a file of its size holds")
                      .arg(m_limits.bytes >> 20);
        return Step::Failed;
    }
    switch (sqlite3_step(m_select)) {
    case SQLITE_ROW: m_bytesRead += RecordBytes; return Step::Record;
    case SQLITE_DONE: return Step::End;
    default: fail(QStringLiteral("cannot read a record")); return Step::Failed;
    }
}

QByteArrayView LibraryDatabase::value(int field)
{
    const int column = m_columns[size_t(field)];
    if (!m_select || column < 0 || sqlite3_column_type(m_select, column) == SQLITE_NULL)
        return {};
    // Numbers come as their text; text and blobs as their bytes, re-read
    // as Windows-1252 when they are not valid UTF-8.
    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(m_select, column));
    const QByteArrayView bytes(text, text ? sqlite3_column_bytes(m_select, column) : 0);
    if (TextCodec::isValidUtf8(bytes)) {
        m_bytesRead += bytes.size();
        return bytes;
    }
    m_converted[size_t(field)] = TextCodec::fromCp1252(bytes).toUtf8();
    m_bytesRead += m_converted[size_t(field)].size();
    return m_converted[size_t(field)];
}

void LibraryDatabase::close()
{
    if (m_insert)
        sqlite3_finalize(m_insert);
    if (m_select)
        sqlite3_finalize(m_select);
    m_insert = m_select = nullptr;
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}
