// Media trees made to hurt a scan: each row builds one beside an ordinary
// file and scans it. The scan must end, within bounded memory, with every
// readable file imported and every other one reported as skipped or in a
// failed folder.

#include "media/mediascan.h"
#include "id3bytes.h"
#include "processmemory.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

const QByteArray Frame = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\x11');
constexpr qint64 MemoryBoundKib = 128 * 1024;
constexpr int DeepLevels = 10000;
constexpr int LargeTagFiles = 500;

bool writeAt(int dirFd, const char *name, const QByteArray &bytes)
{
    const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool ok = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return fd >= 0 && ::close(fd) == 0 && ok;
}

// A chain of folders named name, levels deep under root, made relative to
// each other (the full paths are too long to open); with siblings, a
// folder "e" beside every tenth level too, so the walk keeps many folders
// to come back to.
// A file "t.mp3" at the levels given; their full paths go to files.
bool makeChain(const QByteArray &root, const QByteArray &name, int levels, bool siblings, const QList<int> &fileLevels,
               QStringList &files)
{
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QByteArray path = root;
    for (int level = 1; fd >= 0 && level <= levels; ++level) {
        if (::mkdirat(fd, name.constData(), 0755) != 0 || (siblings && level % 10 == 0 && ::mkdirat(fd, "e", 0755) != 0))
            break;
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        path += '/' + name;
        if (fd >= 0 && fileLevels.contains(level)) {
            if (!writeAt(fd, "t.mp3", Frame))
                break;
            files.append(QFile::decodeName(path + "/t.mp3"));
        }
        if (level == levels) {
            ::close(fd);
            return true;
        }
    }
    if (fd >= 0)
        ::close(fd);
    return false;
}

// Ends the process when a scan runs past its time: a hang fails the test
// instead of stalling the run.
class Watchdog
{
public:
    explicit Watchdog(std::chrono::seconds limit)
        : m_thread([this, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_finished; }))
                  qFatal("the scan did not end within %lld s", static_cast<long long>(limit.count()));
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace

class HostileTreesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scanEnds_data()
    {
        QTest::addColumn<QByteArray>("kind");
        for (const char *kind : {"named pipe", "device node", "link to /dev/zero", "10 GB sparse file",
                                 "vanishes before the read", "shrinks before the read", "10,000 folders deep",
                                 "names past 4,096 bytes", "link loops", "names not UTF-8", "64 MiB tags on 500 files",
                                 "a tag of millions of tiny frames"})
            QTest::newRow(kind) << QByteArray(kind);
    }

    void scanEnds()
    {
        QFETCH(QByteArray, kind);
        // Tens of thousands of new folders are slow to make on a disk file
        // system that has just freed many: the deep tree goes to memory when
        // the machine has a memory file system.
        const bool deep = kind == "10,000 folders deep";
        const QString shm = QStringLiteral("/dev/shm");
        QTemporaryDir dir(deep && QFileInfo(shm).isDir() && QFileInfo(shm).isWritable()
                              ? shm + QStringLiteral("/ondro-hostile-XXXXXX")
                              : QDir::tempPath() + QStringLiteral("/ondro-hostile-XXXXXX"));
        QVERIFY(dir.isValid());
        // QTemporaryDir cannot remove folders whose paths are too long to open.
        const auto removeTree = qScopeGuard([&] { QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir.path()}); });
        const QString root = dir.path();
        const QByteArray rootBytes = QFile::encodeName(root);
        const auto at = [&](const char *name) { return root + u'/' + QString::fromUtf8(name); };

        QStringList imported{at("0 plain.mp3")}; // full paths, in walk order
        QStringList skipped;
        QVERIFY(writeBytes(at("0 plain.mp3"), Frame));
        std::function<void()> beforeRead;
        QString titleOf;     // a file whose title must be read, and the title
        QString title;

        if (kind == "named pipe") {
            QVERIFY(makeFifo(at("pipe.mp3")));
            skipped = QStringList{at("pipe.mp3")};
        } else if (kind == "device node") {
            // Root can make a device node; elsewhere a link to one stands in.
            if (::mknod(QFile::encodeName(at("dev.mp3")).constData(), S_IFCHR | 0644, makedev(1, 3)) != 0)
                QVERIFY(makeSymlink(QStringLiteral("/dev/null"), at("dev.mp3")));
            skipped = QStringList{at("dev.mp3")};
        } else if (kind == "link to /dev/zero") {
            QVERIFY(makeSymlink(QStringLiteral("/dev/zero"), at("zero.mp3")));
            skipped = QStringList{at("zero.mp3")};
        } else if (kind == "10 GB sparse file") {
            QVERIFY(makeSparseFile(at("huge.mp3"), 10LL * 1024 * 1024 * 1024));
            imported.append(at("huge.mp3"));
        } else if (kind == "vanishes before the read") {
            QVERIFY(writeBytes(at("gone.mp3"), Frame));
            beforeRead = [&] { QVERIFY(QFile::remove(at("gone.mp3"))); };
            skipped = QStringList{at("gone.mp3")};
        } else if (kind == "shrinks before the read") {
            // Cut inside its tag: imported with what is left, which is nothing.
            QVERIFY(writeBytes(at("short.mp3"), id3v2Tag(3, id3v2TextFrame(3, "TIT2", 0, "Long gone")) + Frame));
            beforeRead = [&] { QVERIFY(QFile::resize(at("short.mp3"), 14)); };
            imported.append(at("short.mp3"));
        } else if (kind == "10,000 folders deep") {
            QStringList files;
            QVERIFY(makeChain(rootBytes, "d", DeepLevels, true, {1, 3000, DeepLevels}, files));
            QVERIFY(files.last().size() > 4096);
            imported += files;
        } else if (kind == "names past 4,096 bytes") {
            QStringList files;
            QVERIFY(makeChain(rootBytes, QByteArray(250, 'n'), 20, false, {20}, files));
            QVERIFY(files.last().size() > 4096);
            imported += files;
        } else if (kind == "link loops") {
            QVERIFY(makeSymlink(at("b.mp3"), at("a.mp3")) && makeSymlink(at("a.mp3"), at("b.mp3")));
            QVERIFY(makeSymlink(at("self.mp3"), at("self.mp3")));
            QVERIFY(makeSymlink(root, at("up"))); // a folder link: never followed
            skipped = QStringList{at("a.mp3"), at("b.mp3"), at("self.mp3")};
        } else if (kind == "names not UTF-8") {
            QVERIFY(writeAt(AT_FDCWD, (rootBytes + "/\xFF\xFE.mp3").constData(), Frame));
            QVERIFY(::mkdir((rootBytes + "/\xC3(").constData(), 0755) == 0);
            QVERIFY(writeAt(AT_FDCWD, (rootBytes + "/\xC3(/in.mp3").constData(), Frame));
            // The file is imported by its exact name; the folder's are refused.
            imported.append(QFile::decodeName(rootBytes) + QStringLiteral("/\u00FF\u00FE.mp3"));
            skipped = QStringList{QFile::decodeName(rootBytes + "/\xC3(")};
        } else if (kind == "64 MiB tags on 500 files") {
            for (int n = 0; n < LargeTagFiles; ++n) {
                const QString path = at("big") + QStringLiteral("/%1.mp3").arg(n, 3, 10, QLatin1Char('0'));
                QVERIFY(QDir().mkpath(at("big")) && writeSparseLargeTagFile(path, n));
                imported.append(path);
            }
            titleOf = imported.at(1);
            title = QStringLiteral("Large 0");
        } else if (kind == "a tag of millions of tiny frames") {
            QByteArray frames;
            const QByteArray tiny = id3v2Frame(3, "TXXX", QByteArray(1, '\0'));
            frames.reserve(tiny.size() * 2'000'000);
            for (int i = 0; i < 2'000'000; ++i)
                frames += tiny;
            QVERIFY(writeBytes(at("tiny.mp3"), id3v2Tag(3, frames + id3v2TextFrame(3, "TIT2", 0, "At the end")) + Frame));
            imported.append(at("tiny.mp3"));
        }

        ScanCallbacks callbacks;
        if (beforeRead) // the root's files are found, not yet read
            callbacks.filesFound = [&](qsizetype) { beforeRead(); };
        const bool reset = ProcessMemory::resetPeak();
        const qint64 before = ProcessMemory::statusKib(reset ? "VmRSS" : "VmHWM");
        ScanOutcome outcome;
        {
            const Watchdog watchdog(std::chrono::seconds(120));
            outcome = scanMedia(root, QStringLiteral("HOSTILE"), callbacks);
        }
        const qint64 growth = ProcessMemory::statusKib("VmHWM") - before;
        QVERIFY2(before > 0 && growth < MemoryBoundKib, qPrintable(QStringLiteral("peak memory grew by %1 KiB").arg(growth)));

        QVERIFY(!outcome.stopped);
        QStringList rows;
        for (qsizetype i = 0; i < outcome.rows.size(); ++i)
            rows.append(outcome.rows.record(i).filename);
        QCOMPARE(rows, imported);
        QStringList skippedPaths;
        for (const SkippedFile &file : outcome.skipped) {
            skippedPaths.append(file.path);
            QVERIFY2(!file.reason.isEmpty(), qPrintable(file.path));
        }
        QCOMPARE(skippedPaths, skipped);
        QCOMPARE(outcome.failedFolders, QStringList());
        if (!titleOf.isEmpty())
            QCOMPARE(outcome.rows.record(rows.indexOf(titleOf)).track, title);
    }
};

ONDRO_TEST_MAIN(HostileTreesTest)
#include "test_hostiletrees.moc"
