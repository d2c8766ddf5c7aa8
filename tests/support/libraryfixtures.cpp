#include "libraryfixtures.h"
#include "processmemory.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

bool runSql(const QString &path, const QByteArray &sql)
{
    sqlite3 *db = nullptr;
    char *message = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok)
        QTest::qFail(qPrintable(QStringLiteral("SQL on %1 failed: %2")
                                    .arg(path, QString::fromUtf8(message ? message : sqlite3_errmsg(db)))),
                     __FILE__, __LINE__);
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

QStringList queryRows(const QString &path, const char *sql)
{
    QStringList out;
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        out << QStringLiteral("<error %1>").arg(QString::fromUtf8(sqlite3_errmsg(db)));
    } else {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList cells;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                cells << (text ? QString::fromUtf8(text) : QStringLiteral("<null>"));
            }
            out << cells.join(u'|');
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

bool writeLibraryRows(const QString &path, qsizetype count, qsizetype valueBytes)
{
    if (!runSql(path, "CREATE TABLE tbl_MP3s (filename TEXT, source TEXT, artist TEXT, track TEXT, album TEXT, "
                      "year TEXT, genre TEXT, coverimage TEXT, audioheader TEXT);"))
        return false;
    sqlite3 *db = nullptr;
    sqlite3_stmt *insert = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr) ==
                  SQLITE_OK &&
              sqlite3_prepare_v2(db, "INSERT INTO tbl_MP3s VALUES (?1, ?2, ?3, ?2, ?2, ?2, ?2, NULL, ?2)", -1, &insert,
                                 nullptr) == SQLITE_OK;
    for (qsizetype i = 0; ok && i < count; ++i) {
        const QByteArray name = "/lib/" + QByteArray::number(i) + ".mp3";
        const QByteArray value = 'v' + QByteArray::number(i);
        QByteArray artist = value;
        if (valueBytes > artist.size())
            artist.append(valueBytes - artist.size(), 'a');
        sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, artist.constData(), int(artist.size()), SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok)
        QTest::qFail(qPrintable(QStringLiteral("cannot fill %1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db)))),
                     __FILE__, __LINE__);
    sqlite3_close(db);
    return ok;
}

bool rewriteTableSchema(const QString &path, const QByteArray &createTable)
{
    QByteArray quoted = createTable;
    quoted.replace('\'', "''");
    return runSql(path, "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql = '" + quoted +
                            "' WHERE name = 'tbl_MP3s'; PRAGMA writable_schema=OFF;");
}

QStringList folderState(const QString &dir)
{
    QStringList state;
    const QStringList names =
        QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        struct stat st;
        if (::lstat(QFile::encodeName(dir + QLatin1Char('/') + name).constData(), &st) != 0) {
            state << name + QStringLiteral(" <gone>");
            continue;
        }
        state << QStringLiteral("%1 mode %2 size %3 mtime %4.%5")
                     .arg(name)
                     .arg(st.st_mode, 0, 8)
                     .arg(qlonglong(st.st_size))
                     .arg(qlonglong(st.st_mtim.tv_sec))
                     .arg(qlonglong(st.st_mtim.tv_nsec), 9, 10, QLatin1Char('0'));
    }
    return state;
}

namespace PeakMemory {

namespace {
qint64 residentAtReset = 0;
} // namespace

void reset()
{
    if (!ProcessMemory::resetPeak())
        QTest::qFail("cannot reset the peak memory through /proc/self/clear_refs", __FILE__, __LINE__);
    residentAtReset = ProcessMemory::statusKib("VmRSS") * 1024;
}

qint64 growthBytes()
{
    return ProcessMemory::statusKib("VmHWM") * 1024 - residentAtReset;
}

} // namespace PeakMemory
