// Libraries that strangers made, broken or hostile: each is refused with a
// reason or loads what the reader keeps, never crashes, never changes the
// file or makes anything beside it, and keeps memory bounded.
#include "export/libraryfile.h"
#include "libraryfixtures.h"
#include "testenv.h"
#include "testfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace {

const char ChildVariable[] = "ONDRO_HOSTILE_CHILD";
const char PathVariable[] = "ONDRO_HOSTILE_PATH";
constexpr qsizetype MillionRows = 1000000;

const QByteArray NineColumns = "CREATE TABLE tbl_MP3s (filename TEXT, source TEXT, artist TEXT, track TEXT, album "
                               "TEXT, year TEXT, genre TEXT, coverimage TEXT, audioheader TEXT);";

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(13);
    for (char &c : bytes)
        c = char(generator.generate());
    return bytes;
}

bool twoRows(const QString &path)
{
    return writeLibraryRows(path, 2);
}

// A library large enough to span many pages, then damaged.
bool truncated(const QString &path)
{
    return writeLibraryRows(path, 3000) && QFile::resize(path, QFileInfo(path).size() / 2);
}

bool garbagePage(const QString &path)
{
    if (!writeLibraryRows(path, 3000))
        return false;
    QFile file(path);
    const qint64 pages = QFileInfo(path).size() / 4096;
    return file.open(QIODevice::ReadWrite) && file.seek(pages / 2 * 4096) && file.write(randomBytes(4096)) == 4096;
}

// A copy of a WAL-mode library whose last records are only in its log, as
// left by a program that was still running or crashed.
bool besideLeftover(const QString &path, const char *journalMode, const char *suffix)
{
    const QString original = path + QStringLiteral(".orig");
    if (!writeLibraryRows(original, 2))
        return false;
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(original).constData(), &db);
    const QByteArray sql = QByteArray("PRAGMA journal_mode=") + journalMode +
                           "; PRAGMA wal_autocheckpoint=0; PRAGMA cache_size=1; BEGIN;"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                           "INSERT INTO tbl_MP3s (filename) SELECT '/more/' || i FROM n;"
                           "UPDATE tbl_MP3s SET artist = 'changed';";
    bool ok = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (qstrcmp(journalMode, "WAL") == 0)
        ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    // The files as they are now, before the connection tidies up.
    ok = ok && QFile::copy(original, path) && QFile::copy(original + QLatin1String(suffix), path + QLatin1String(suffix));
    sqlite3_close(db);
    QFile::remove(original);
    QFile::remove(original + QLatin1String(suffix));
    QFile::remove(original + QStringLiteral("-shm"));
    return ok;
}

// A table tbl_MP3s (filename, coverimage) of count records whose schema
// then declares the artist computed by artist, and the other fields by
// other (plain when empty), each followed by how.
bool computed(const QString &path, int count, const QByteArray &artist, const QByteArray &other, const char *how = "")
{
    if (!runSql(path, "CREATE TABLE tbl_MP3s (filename TEXT, coverimage TEXT);"
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          QByteArray::number(count) + ") INSERT INTO tbl_MP3s (filename) SELECT '/c/' || i FROM n;"))
        return false;
    QByteArray columns;
    for (const QString &name : TrackRecord::fieldNames()) {
        const QByteArray expression = name == QLatin1String("artist") ? artist : other;
        columns += (columns.isEmpty() ? "" : ", ") + name.toUtf8() + " TEXT";
        if (name != QLatin1String("filename") && name != QLatin1String("coverimage") && !expression.isEmpty())
            columns += " AS (" + expression + ")" + how;
    }
    return rewriteTableSchema(path, "CREATE TABLE tbl_MP3s (" + columns + ")");
}

const QByteArray Mebibyte = "printf('%.*c', 1048576, 'x')";

// One record with a value of 200 kB in an overflow chain, its page then
// pointing at that record as often as a page can: 200 kB that read as
// hundreds of such records. The engine does not notice; only a check of
// the whole file would. The value's size leaves the least of the record
// on the page itself, so the page has room for the most pointers.
bool oneRecordMany(const QString &path)
{
    if (!writeLibraryRows(path, 1, 455 + 49 * 4092))
        return false;
    const qsizetype pageSize = queryRows(path, "PRAGMA page_size").value(0).toInt();
    const qsizetype root = queryRows(path, "SELECT rootpage FROM sqlite_schema WHERE name = 'tbl_MP3s'").value(0).toInt();
    QByteArray bytes = fileBytes(path);
    uchar *page = reinterpret_cast<uchar *>(bytes.data()) + (root - 1) * pageSize;
    if (pageSize != 4096 || root < 2 || bytes.size() < root * pageSize || page[0] != 0x0d) // a leaf of a table
        return false;
    const int count = int(std::min<qsizetype>((qFromBigEndian<quint16>(page + 5) - 8) / 2, (pageSize - 8) / 6));
    const quint16 cell = qFromBigEndian<quint16>(page + 8);
    qToBigEndian<quint16>(count, page + 3);
    for (int i = 0; i < count; ++i)
        qToBigEndian<quint16>(cell, page + 8 + 2 * i);
    return count == (pageSize - 8) / 6 && writeBytes(path, bytes);
}

// A library made in write-ahead mode whose table is still only in its log.
bool tableOnlyInLog(const QString &path)
{
    const QString original = path + QStringLiteral(".orig");
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(original).constData(), &db);
    const bool ok = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; " + NineColumns +
                                         "INSERT INTO tbl_MP3s (filename) VALUES ('/w.mp3');",
                                 nullptr, nullptr, nullptr) == SQLITE_OK &&
                    QFile::copy(original, path) && QFile::copy(original + QStringLiteral("-wal"), path + QStringLiteral("-wal"));
    sqlite3_close(db);
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(original + QLatin1String(suffix));
    return ok;
}

sqlite3 *heldConnection = nullptr; // the second connection of the lock case

struct Hostile
{
    const char *name;
    bool (*make)(const QString &path);
    int loads;           // 1 loads, 0 refused, -1 either (another process is at it)
    qsizetype rows;      // records kept, -1 any
    const char *child;   // a child process that works on the file during the load
    const char *says = nullptr; // what the reason holds, when set
    qint64 withinMs = 0;        // the longest the load may take, when set
};

const Hostile Cases[] = {
    {"not a database", [](const QString &p) { return writeBytes(p, "ODL v1.0\r\n/cd/a.mp3\tCD01\r\n"); }, 0, 0, nullptr},
    {"0 bytes", [](const QString &p) { return writeBytes(p, QByteArray()); }, 0, 0, nullptr},
    {"truncated", truncated, 0, -1, nullptr},
    {"a page of garbage in the middle", garbagePage, 0, -1, nullptr},
    {"encrypted: random bytes", [](const QString &p) { return writeBytes(p, randomBytes(65536)); }, 0, 0, nullptr},
    {"exclusive lock of another connection",
     [](const QString &p) {
         return twoRows(p) && sqlite3_open(QFile::encodeName(p).constData(), &heldConnection) == SQLITE_OK &&
                sqlite3_exec(heldConnection, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
     },
     1, 2, nullptr},
    {"exclusive lock and a half-written change of a child process", twoRows, 0, 0, "lock"},
    {"the wrong schema", [](const QString &p) { return runSql(p, "CREATE TABLE songs (filename TEXT); INSERT INTO songs VALUES ('/a.mp3');"); }, 0, 0, nullptr},
    {"missing fields",
     [](const QString &p) {
         return runSql(p, "CREATE TABLE tbl_MP3s (filename, source, artist); INSERT INTO tbl_MP3s VALUES ('/a', 'S', 'A');"
                          "INSERT INTO tbl_MP3s VALUES ('/b', 'S', 'A');");
     },
     0, 1, nullptr},
    {"integers everywhere", [](const QString &p) { return runSql(p, NineColumns + "INSERT INTO tbl_MP3s VALUES (1,2,3,4,5,6,7,8,9); INSERT INTO tbl_MP3s VALUES (-1,0,9e99,4,5,6,7,8,9);"); }, 1, 2, nullptr},
    {"blobs everywhere", [](const QString &p) { return runSql(p, NineColumns + "INSERT INTO tbl_MP3s VALUES (x'00ff', x'', x'c3', x'e9', x'0d0a', x'09', x'5c', x'00', x'fffe');"); }, 1, 1, nullptr},
    {"NULL everywhere", [](const QString &p) { return runSql(p, NineColumns + "INSERT INTO tbl_MP3s VALUES (NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL); INSERT INTO tbl_MP3s DEFAULT VALUES;"); }, 1, 2, nullptr},
    {"values of 10 MB",
     [](const QString &p) {
         return runSql(p, NineColumns + "INSERT INTO tbl_MP3s (filename, coverimage) VALUES ('/a.mp3', hex(zeroblob(5242880)));"
                                        "INSERT INTO tbl_MP3s (filename, artist) VALUES ('/b.mp3', hex(zeroblob(5242880)));"
                                        "INSERT INTO tbl_MP3s (filename) VALUES ('/c.mp3');");
     },
     0, 2, nullptr},
    {"a million rows", [](const QString &p) { return writeLibraryRows(p, MillionRows); }, 1, MillionRows, nullptr},
    {"a trigger", [](const QString &p) { return twoRows(p) && runSql(p, "CREATE TABLE log (x); CREATE TRIGGER t AFTER INSERT ON tbl_MP3s BEGIN DELETE FROM tbl_MP3s; END; CREATE TEMP TRIGGER IF NOT EXISTS u AFTER INSERT ON log BEGIN SELECT 1; END;"); }, 1, 2, nullptr},
    {"a view named like the table", [](const QString &p) { return runSql(p, "CREATE TABLE t (x); INSERT INTO t VALUES ('/v.mp3'); CREATE VIEW tbl_MP3s AS SELECT x AS filename, x AS source, x AS artist, x AS track, x AS album, x AS year, x AS genre, x AS coverimage, x AS audioheader FROM t;"); }, 0, 0, nullptr},
    {"an fts5 virtual table", [](const QString &p) { return runSql(p, "CREATE VIRTUAL TABLE tbl_MP3s USING fts5(filename, source, artist, track, album, year, genre, coverimage, audioheader); INSERT INTO tbl_MP3s (filename) VALUES ('/f.mp3');"); }, 0, 0, nullptr},
    {"an rtree virtual table", [](const QString &p) { return runSql(p, "CREATE VIRTUAL TABLE tbl_MP3s USING rtree(filename, source, artist); INSERT INTO tbl_MP3s VALUES (1, 2, 3);"); }, 0, 0, nullptr},
    {"a WAL file beside it", [](const QString &p) { return besideLeftover(p, "WAL", "-wal"); }, 0, 2, nullptr},
    {"the table only in a WAL file beside it", tableOnlyInLog, 0, 0, nullptr, "theirs.odl-wal"},
    {"generated columns of 1 MiB", [](const QString &p) { return computed(p, 200, Mebibyte, Mebibyte); }, 0, 0, nullptr,
     "computes the values of its column source", 1000},
    {"stored generated columns", [](const QString &p) { return computed(p, 200, Mebibyte, Mebibyte, " STORED"); }, 0, 0,
     nullptr, "computes the values of its column source", 1000},
    {"a column slow to compute",
     [](const QString &p) { return computed(p, 3, "length(printf('%.*c', 60000000 + length(filename), 'x'))", {}); }, 0,
     0, nullptr, "computes the values of its column artist", 1000},
    {"one record read again and again", oneRecordMany, 0, -1, nullptr, "add up to more than 64 MiB"},
    {"a journal left beside it", [](const QString &p) { return besideLeftover(p, "DELETE", "-journal"); }, 0, 0, nullptr},
    {"a link to a library",
     [](const QString &p) {
         const QString real = QFileInfo(p).absolutePath() + QStringLiteral("/real/lib.odl");
         return QDir().mkpath(QFileInfo(real).absolutePath()) && twoRows(real) && makeSymlink(real, p);
     },
     1, 2, nullptr},
    {"a link to a named pipe",
     [](const QString &p) { return makeFifo(p + QStringLiteral(".fifo")) && makeSymlink(p + QStringLiteral(".fifo"), p); },
     0, 0, nullptr},
    {"being written by a child process", twoRows, -1, -1, "write"},
};

QByteArray digest(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return "<not a plain file>"; // a pipe is never opened
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return "<unreadable>";
    return hash.result().toHex();
}

// The child: keeps a lock with an unfinished change, or keeps adding
// records; marks 'r' on standard output once it is at it.
int runChild(const QByteArray &mode, const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        return 3;
    sqlite3_busy_timeout(db, 1000);
    if (mode == "lock") {
        // Large enough to spill pages into the file before the commit.
        if (sqlite3_exec(db, "PRAGMA cache_size=1; BEGIN EXCLUSIVE; UPDATE tbl_MP3s SET artist = 'half';"
                             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                             "INSERT INTO tbl_MP3s (filename) SELECT '/uncommitted/' || i FROM n;",
                         nullptr, nullptr, nullptr) != SQLITE_OK)
            return 3;
        (void)!::write(STDOUT_FILENO, "r", 1);
        ::sleep(120);
        return 0;
    }
    for (int round = 0; round < 100000; ++round) {
        if (sqlite3_exec(db, "BEGIN; INSERT INTO tbl_MP3s (filename, artist) SELECT filename, 'again' FROM tbl_MP3s LIMIT 50; COMMIT;",
                         nullptr, nullptr, nullptr) != SQLITE_OK)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (round == 0)
            (void)!::write(STDOUT_FILENO, "r", 1);
    }
    return 0;
}

std::unique_ptr<QProcess> startChild(const char *mode, const QString &path)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ChildVariable), QString::fromLatin1(mode));
    env.insert(QString::fromLatin1(PathVariable), path);
    process->setProcessEnvironment(env);
    process->setProgram(QCoreApplication::applicationFilePath());
    process->start();
    if (!process->waitForReadyRead(30000))
        return nullptr;
    return process;
}

} // namespace

class HostileLibrariesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        sqlite3_close(heldConnection);
        heldConnection = nullptr;
    }

    void hostileLibrary_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(Cases)); ++i)
            QTest::newRow(Cases[i].name) << i;
    }
    void hostileLibrary()
    {
        QFETCH(int, index);
        const Hostile &kind = Cases[index];
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("theirs.odl"));
        QVERIFY(kind.make(path));
        std::unique_ptr<QProcess> child;
        if (kind.child) {
            child = startChild(kind.child, path);
            QVERIFY2(child, "the child process did not start its work");
        }
        const bool steady = !kind.child || qstrcmp(kind.child, "write") != 0;
        const QStringList before = folderState(dir.path());
        const QByteArray bytes = digest(path);
        const QStringList realBefore = folderState(dir.filePath(QStringLiteral("real")));

        RowStore rows;
        QString reason;
        PeakMemory::reset();
        QElapsedTimer timer;
        timer.start();
        bool loaded = LibraryFile::load(path, rows, &reason);
        // A file that changes under the reader is read again and again.
        for (int again = 0; !steady && again < 20; ++again) {
            QVERIFY2(loaded || !reason.isEmpty(), "a refusal without a reason");
            ::usleep(3000);
            rows = RowStore();
            reason.clear();
            loaded = LibraryFile::load(path, rows, &reason);
        }
        const qint64 elapsed = timer.elapsed();
        const qint64 growth = PeakMemory::growthBytes();
        if (child) {
            child->kill();
            child->waitForFinished(30000);
        }

        if (kind.loads >= 0)
            QCOMPARE(loaded, kind.loads == 1);
        QCOMPARE(reason.isEmpty(), loaded); // a refusal always says why
        if (kind.says)
            QVERIFY2(reason.contains(QLatin1String(kind.says)), qPrintable(reason));
        if (kind.withinMs)
            QVERIFY2(elapsed <= kind.withinMs, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
        if (kind.rows >= 0)
            QCOMPARE(rows.size(), kind.rows);
        for (qsizetype i = 0; i < rows.size(); ++i)
            QCOMPARE(rows.origin(i), EntryOrigin::Library);
        if (steady) {
            QCOMPARE(folderState(dir.path()), before);
            QCOMPARE(digest(path), bytes);
            QCOMPARE(folderState(dir.filePath(QStringLiteral("real"))), realBefore);
        } else {
            // The writer's own journal may come and go; the reader adds nothing.
            QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
            names.removeAll(QStringLiteral("theirs.odl-journal"));
            QCOMPARE(names, QStringList{QStringLiteral("theirs.odl")});
        }

        // Memory: what the kept rows hold, plus a fixed allowance for the
        // engine's page cache and one value being read.
        const qint64 bound = (48 << 20) + qint64(rows.bytesHeld()) * 2;
        QVERIFY2(growth <= bound, qPrintable(QStringLiteral("peak grew by %1 MiB, bound %2 MiB")
                                                 .arg(growth >> 20)
                                                 .arg(bound >> 20)));
        qInfo("%s: %s, %lld records, peak +%lld MiB, %lld ms%s%s", kind.name, loaded ? "loaded" : "refused",
              qlonglong(rows.size()), qlonglong(growth >> 20), qlonglong(elapsed), reason.isEmpty() ? "" : ": ",
              qPrintable(reason));
    }
};

int main(int argc, char **argv)
{
    const QByteArray mode = qgetenv(ChildVariable);
    if (!mode.isEmpty())
        return runChild(mode, qEnvironmentVariable(PathVariable));
    TestEnv::isolate();
    QCoreApplication app(argc, argv);
    HostileLibrariesTest tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "test_hostilelibraries.moc"
