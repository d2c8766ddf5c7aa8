#include "media/mediascan.h"
#include "media/mediawalk.h"
#include "testenv.h"
#include "id3bytes.h"
#include "testfiles.h"
#include "walkpaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Frame = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(200, '\x22');

QByteArray id3v1Block(const QByteArray &title, const QByteArray &artist, int genre)
{
    return id3v1Tag(title, artist, {}, {}, genre);
}

bool writeFile(const QString &path, const QByteArray &content = Frame)
{
    return writeBytes(path, content);
}

QStringList relative(const QString &root, const QStringList &paths)
{
    QStringList out;
    for (const QString &p : paths)
        out.append(p.startsWith(root + u'/') ? p.mid(root.size() + 1) : QStringLiteral("<outside> ") + p);
    return out;
}

} // namespace

class MediaScanTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void walkOrder()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        for (const char *name : {"b.mp3", "A.MP3", "notes.txt", "x.mp3.bak", ".hidden.mp3", "c/w.mp3",
                                 "B/one.mp3", "B/deep/z.mp3", "a/x.mp3", "a/X.Mp3", ".git/y.mp3", "mp3/readme"})
            QVERIFY(writeFile(root + u'/' + QLatin1String(name)));
        QVERIFY(QDir(root).mkdir(QStringLiteral("folder.mp3")));
        // A link back up to the root: not followed, so the walk ends.
        QVERIFY(QFile::link(root, root + QStringLiteral("/B/loop")));
        // A link to a file counts as the file.
        QVERIFY(QFile::link(root + QStringLiteral("/c/w.mp3"), root + QStringLiteral("/link.mp3")));

        QStringList folders;
        WalkCallbacks callbacks;
        callbacks.folderEntered = [&](const QString &folder, qsizetype) { folders.append(folder); };
        // A trailing separator does not double the separators of the paths.
        const WalkResult result = walkPaths(root + u'/', QStringLiteral("*.MP3"), callbacks);
        QVERIFY(!result.stopped);
        QVERIFY(result.failedFolders.isEmpty());
        QCOMPARE(relative(root, result.files),
                 (QStringList{"A.MP3", "b.mp3", "link.mp3", "a/X.Mp3", "a/x.mp3", "B/one.mp3", "B/deep/z.mp3",
                              "c/w.mp3"}));
        QCOMPARE(relative(root, folders), (QStringList{"<outside> " + root, "a", "B", "B/deep", "c", "folder.mp3", "mp3"}));
    }

    void otherPatterns()
    {
        QTemporaryDir dir;
        for (const char *name : {"t1.mp3", "t22.mp3", "t3.MP2", "xt4.mp3"})
            QVERIFY(writeFile(dir.filePath(QLatin1String(name))));
        QCOMPARE(relative(dir.path(), walkPaths(dir.path(), QStringLiteral("t?.MP?")).files),
                 (QStringList{"t1.mp3", "t3.MP2"}));
    }

    void pathJoining()
    {
        QCOMPARE(MediaWalk::childPath(QStringLiteral("/"), QStringLiteral("a.mp3")), QStringLiteral("/a.mp3"));
        QCOMPARE(MediaWalk::childPath(QStringLiteral("/media/cd"), QStringLiteral("a.mp3")),
                 QStringLiteral("/media/cd/a.mp3"));
    }

    // A folder that cannot be opened when the walk gets to it (removed from
    // under the walk) is listed; the walk goes on with the others.
    void vanishedFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(writeFile(root + QStringLiteral("/a/in.mp3")));
        QVERIFY(writeFile(root + QStringLiteral("/b/gone.mp3")));
        QVERIFY(writeFile(root + QStringLiteral("/c/after.mp3")));
        const QString gone = root + QStringLiteral("/b");
        WalkCallbacks callbacks;
        callbacks.folderEntered = [&](const QString &folder, qsizetype) {
            if (folder == gone)
                QDir(gone).removeRecursively();
        };
        const WalkResult result = walkPaths(root, QStringLiteral("*.MP3"), callbacks);
        QCOMPARE(result.failedFolders, QStringList{gone});
        QCOMPARE(relative(root, result.files), (QStringList{"a/in.mp3", "c/after.mp3"}));
    }

    // A walk from "/" passes the kernel's and the run-time folders over. It
    // is stopped at the first top-level folder after them in walk order, or
    // after a few thousand folders on a machine with large trees before
    // them ("/dev" comes early either way), so the test stays small.
    void walkFromRootSkipsSystemFolders()
    {
        const QStringList system{QStringLiteral("/dev"), QStringLiteral("/proc"), QStringLiteral("/run"),
                                 QStringLiteral("/sys")};
        WorkProgress stop;
        QStringList entered;
        int folders = 0;
        WalkCallbacks callbacks;
        callbacks.folderEntered = [&](const QString &folder, qsizetype) {
            const QString top = QLatin1Char('/') + folder.section(QLatin1Char('/'), 1, 1);
            if (system.contains(top))
                entered << folder;
            if (!entered.isEmpty() || ++folders > 5000 || top.mid(1).compare(QStringLiteral("sys"), Qt::CaseInsensitive) > 0)
                stop.requestStop();
        };
        walkPaths(QStringLiteral("/"), QStringLiteral("*.MP3"), callbacks, &stop);
        QCOMPARE(entered, QStringList());
    }

    // Entries next to a.mp3 and sub/c.mp3 that are not imported: each is
    // listed as skipped with its reason, and never fails its folder.
    void entriesNotImported_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("name"); // as the bytes of the file system
        for (const char *kind : {"dangling link", "named pipe", "link to a device", "link to a pipe",
                                 "turns into a pipe"})
            QTest::newRow(kind) << QByteArray(kind) << QByteArray("b.mp3");
        QTest::newRow("folder not UTF-8") << QByteArray("folder not UTF-8") << QByteArray("d\xC3(");
        QTest::newRow("name with a line break") << QByteArray("name with a line break") << QByteArray("b\nx.mp3");
        QTest::newRow("name with a CR") << QByteArray("name with a CR") << QByteArray("b\r.mp3");
        QTest::newRow("folder with a line break") << QByteArray("folder with a line break") << QByteArray("d\r\ne");
    }

    void entriesNotImported()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(writeFile(root + QStringLiteral("/a.mp3")));
        QVERIFY(writeFile(root + QStringLiteral("/sub/c.mp3")));
        const QString bad = root + u'/' + QFile::decodeName(name);
        const QByteArray badBytes = QFile::encodeName(root) + '/' + name;
        const QString fifo = root + QStringLiteral("/pipe");
        if (kind == "dangling link")
            QVERIFY(makeSymlink(root + QStringLiteral("/missing.mp3"), bad));
        else if (kind == "named pipe")
            QVERIFY(makeFifo(bad));
        else if (kind == "link to a device")
            QVERIFY(makeSymlink(QStringLiteral("/dev/zero"), bad));
        else if (kind == "link to a pipe")
            QVERIFY(makeFifo(fifo) && makeSymlink(fifo, bad));
        else if (kind == "turns into a pipe")
            QVERIFY(writeFile(bad));
        else if (kind.startsWith("name "))
            QVERIFY(::close(::open(badBytes.constData(), O_WRONLY | O_CREAT, 0644)) == 0);
        else
            QVERIFY(::mkdir(badBytes.constData(), 0755) == 0
                    && ::close(::open((badBytes + "/x.mp3").constData(), O_WRONLY | O_CREAT, 0644)) == 0);

        int writer = -1; // keeps an opening of the pipe from waiting, should a reader block
        ScanCallbacks callbacks;
        // The root's files are found, not yet read.
        callbacks.filesFound = [&](qsizetype) {
            if (kind == "turns into a pipe" && writer < 0 && QFile::remove(bad) && makeFifo(bad))
                writer = ::open(badBytes.constData(), O_RDWR | O_NONBLOCK);
        };
        const ScanOutcome outcome = scanMedia(root, QStringLiteral("CD"), callbacks);
        if (writer >= 0)
            ::close(writer);
        QStringList imported;
        for (qsizetype i = 0; i < outcome.rows.size(); ++i)
            imported.append(outcome.rows.record(i).filename);
        QCOMPARE(relative(root, imported), (QStringList{"a.mp3", "sub/c.mp3"}));
        QCOMPARE(outcome.failedFolders, QStringList());
        QCOMPARE(outcome.skipped.size(), 1);
        QCOMPARE(outcome.skipped.front().path, bad);
        QVERIFY(!outcome.skipped.front().reason.isEmpty());
    }

    // What readTrackInfo tells its callers (tag and header commands) of a
    // path that is not a plain file; it never waits on a pipe.
    void readTrackInfoStatus_data()
    {
        using SafeFileRead::Status;
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("problem");
        QTest::newRow("plain file") << QByteArray("plain file") << int(Status::Read) << QString();
        QTest::newRow("missing") << QByteArray("missing") << int(Status::Missing) << "No such file or directory";
        QTest::newRow("dangling link") << QByteArray("dangling link") << int(Status::Missing)
                                       << "it is a link to {dir}/none, which does not exist";
        QTest::newRow("path under a file") << QByteArray("path under a file") << int(Status::Missing)
                                           << "Not a directory";
        QTest::newRow("folder") << QByteArray("folder") << int(Status::Refused) << "not a plain file (a folder)";
        QTest::newRow("named pipe") << QByteArray("named pipe") << int(Status::Refused)
                                    << "not a plain file (a named pipe)";
        QTest::newRow("link to a device") << QByteArray("link to a device") << int(Status::Refused)
                                          << "not a plain file (a device)";
    }

    void readTrackInfoStatus()
    {
        QFETCH(QByteArray, kind);
        QFETCH(int, status);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("x.mp3"));
        if (kind == "plain file")
            QVERIFY(writeFile(path, Frame + id3v1Block("Song", "Singer", 13)));
        else if (kind == "dangling link")
            QVERIFY(makeSymlink(dir.filePath(QStringLiteral("none")), path));
        else if (kind == "path under a file") {
            QVERIFY(writeFile(path));
            path += QStringLiteral("/y.mp3");
        }
        else if (kind == "folder")
            QVERIFY(QDir().mkpath(path));
        else if (kind == "named pipe")
            QVERIFY(makeFifo(path));
        else if (kind == "link to a device")
            QVERIFY(makeSymlink(QStringLiteral("/dev/zero"), path));
        const TrackInfo info = readTrackInfo(path);
        QCOMPARE(int(info.status), status);
        QCOMPARE(info.problem, problem.replace(QStringLiteral("{dir}"), dir.path()));
        QCOMPARE(info.tags.track, status == int(SafeFileRead::Status::Read) ? QStringLiteral("Song") : QString());
    }

    // A 64 MiB picture before the text frames (a sparse file): the picture
    // is passed over, not read, and the title after it is found.
    void textAfterAHugePicture()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.mp3"));
        const qint64 picture = 64 * 1024 * 1024;
        const QByteArray title = id3v2TextFrame(3, "TIT2", 0, "After the picture");
        const QByteArray header = "ID3\x03" + QByteArray(2, '\0') + synchsafe(quint32(10 + picture + title.size()))
                                  + "APIC" + bigEndianBytes(quint32(picture), 4) + QByteArray(2, '\0');
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(header), header.size());
        QVERIFY(file.seek(header.size() + picture));
        QCOMPARE(file.write(title), title.size());
        file.close();
        QCOMPARE(readTrackInfo(path).tags.track, QStringLiteral("After the picture"));
    }

    void missingRoot()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("nothing"));
        const ScanOutcome outcome = scanMedia(root, QStringLiteral("CD01"));
        QCOMPARE(outcome.failedFolders, QStringList{root});
        QCOMPARE(outcome.rows.size(), 0);
        QVERIFY(!outcome.stopped);
    }

    // A folder of more files than a 16-bit counter holds is walked whole.
    void manyFiles()
    {
        QTemporaryDir dir;
        const int count = 32800;
        for (int i = 0; i < count; ++i) {
            QFile file(dir.filePath(QStringLiteral("f%1.mp3").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(walkPaths(dir.path(), QStringLiteral("*.MP3")).files.size(), count);
    }

    void scanImports()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(writeFile(root + QStringLiteral("/1.mp3"), Frame + id3v1Block("Song", "Singer", 13)));
        QVERIFY(writeFile(root + QStringLiteral("/2.mp3"), QByteArray("no header here")));
        QVERIFY(writeFile(root + QStringLiteral("/sub/3.mp3"), Frame));

        const QString source = QStringLiteral("  CD 02 ");
        QStringList events;
        ScanCallbacks callbacks;
        callbacks.folderEntered = [&](const QString &, qsizetype found) { events.append(QStringLiteral("folder %1").arg(found)); };
        WorkProgress progress;
        progress.onStep = [&](qint64 i, qint64 total) {
            events.append(total == 0 ? QStringLiteral("found %1").arg(i)
                                     : i == 0 ? QStringLiteral("start %1").arg(total)
                                              : QStringLiteral("%1/%2").arg(i).arg(total));
        };
        const ScanOutcome outcome = scanMedia(root, source, callbacks, &progress);

        QVERIFY(!outcome.stopped);
        QCOMPARE(events, (QStringList{"folder 0", "found 2", "folder 2", "found 3", "start 3", "1/3", "2/3", "3/3"}));
        QCOMPARE(outcome.rows.size(), 3);
        const QString bits = QStringLiteral("11111111 11111011 10010000 01100100 ");
        QCOMPARE(outcome.rows.record(0),
                 (TrackRecord{root + QStringLiteral("/1.mp3"), source, QStringLiteral("Singer"), QStringLiteral("Song"),
                              QString(), QString(), QStringLiteral("Pop"), QString(), bits}));
        QCOMPARE(outcome.rows.record(1),
                 (TrackRecord{root + QStringLiteral("/2.mp3"), source, {}, {}, {}, {}, {}, {}, {}}));
        QCOMPARE(outcome.rows.record(2).filename, root + QStringLiteral("/sub/3.mp3"));
        QCOMPARE(outcome.rows.record(2).audioheader, bits);
        for (qsizetype i = 0; i < 3; ++i)
            QCOMPARE(outcome.rows.origin(i), EntryOrigin::Own);
    }

    // More files than the scan lets wait between the walk and the rows, in
    // more folders than the readers hold open at once: whatever the
    // readers, the rows come in walk order, the progress tells the files
    // found, then each file imported of the total, once, and every folder
    // the scan opened is closed after it.
    void importFollowsWalkOrder_data()
    {
        QTest::addColumn<int>("readers");
        QTest::newRow("one reader") << 1;
        QTest::newRow("eight readers") << 8;
    }

    void importFollowsWalkOrder()
    {
        QFETCH(int, readers);
        QTemporaryDir dir;
        for (int i = 0; i < 3000; ++i)
            QVERIFY(writeFile(dir.filePath(QStringLiteral("f%1/%2.mp3").arg(i % 150).arg(i))));
        const auto openDescriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
        const uint openBefore = openDescriptors();
        qsizetype found = 0, told = 0, total = -1;
        ScanCallbacks callbacks;
        callbacks.filesFound = [&](qsizetype n) { QVERIFY(n > found && total < 0); found = n; };
        WorkProgress progress;
        progress.onStep = [&](qint64 i, qint64 n) {
            if (n == 0) // still walking: told before filesFound
                QVERIFY(i > found && total < 0);
            else if (total < 0 && i == 0)
                total = n;
            else
                QVERIFY(i == ++told && n == total);
        };
        const ScanOutcome outcome = scanMedia(dir.path(), QStringLiteral("CD"), callbacks, &progress, readers);
        QStringList rows;
        for (qsizetype i = 0; i < outcome.rows.size(); ++i)
            rows.append(outcome.rows.record(i).filename);
        QCOMPARE(rows, walkPaths(dir.path(), QStringLiteral("*.MP3")).files);
        QCOMPARE(found, 3000);
        QCOMPARE(total, 3000);
        QCOMPARE(told, 3000);
        QCOMPARE(openDescriptors(), openBefore);
    }

    // Each reader decodes ID3v1 text in the medium's code page (a
    // double-byte one here, whose converter keeps state between bytes).
    void scanInCodePage_data() { importFollowsWalkOrder_data(); }

    void scanInCodePage()
    {
        QFETCH(int, readers);
        QTemporaryDir dir;
        const QByteArray gbk = QByteArray::fromHex("d6d0cec4b1eacce2"); // "中文标题"
        for (int i = 0; i < 40; ++i)
            QVERIFY(writeFile(dir.filePath(QStringLiteral("%1.mp3").arg(i)), Frame + id3v1Block(gbk, "A", 17)));
        const ScanOutcome outcome = scanMedia(dir.path(), QStringLiteral("CD"), {}, nullptr, readers, TagReading{QStringLiteral("gbk")});
        QCOMPARE(outcome.rows.size(), 40);
        for (qsizetype i = 0; i < outcome.rows.size(); ++i)
            QCOMPARE(outcome.rows.record(i).track, QStringLiteral("中文标题"));
    }

    // Reads that wait on the medium bring in every reader; the scan still
    // imports every file once.
    void readersGrowWhenReadsWait()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 160; ++i)
            QVERIFY(writeFile(dir.filePath(QStringLiteral("%1.mp3").arg(i))));
        std::atomic_int reading{0}, most{0};
        SafeFileRead::ReadSystemCalls slow;
        slow.readAt = [&](int fd, char *buffer, qint64 size, qint64 offset) -> qint64 {
            const int now = ++reading;
            for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
            }
            ::usleep(2000); // a disc's seek
            const qint64 got = ::pread(fd, buffer, size_t(size), off_t(offset));
            --reading;
            return got;
        };
        const ScanOutcome outcome = scanMedia(dir.path(), QStringLiteral("HD"), {}, nullptr, 8, {}, &slow);
        QCOMPARE(outcome.rows.size(), 160);
        QCOMPARE(most.load(), 8);
    }

    void stoppedScan_data()
    {
        QTest::addColumn<bool>("duringWalk");
        QTest::newRow("during the walk") << true;
        QTest::newRow("during the import") << false;
    }

    void stoppedScan()
    {
        QFETCH(bool, duringWalk);
        QTemporaryDir dir;
        for (const char *name : {"a/1.mp3", "a/2.mp3", "b/3.mp3", "c/4.mp3"})
            QVERIFY(writeFile(dir.filePath(QLatin1String(name))));
        WorkProgress progress;
        int imported = 0;
        int folders = 0;
        ScanCallbacks callbacks;
        callbacks.folderEntered = [&](const QString &, qsizetype) {
            if (duringWalk && ++folders == 2)
                progress.requestStop();
        };
        progress.onStep = [&](qint64 i, qint64 total) {
            if (total > 0 && i > 0 && ++imported == 2)
                progress.requestStop();
        };
        const ScanOutcome outcome = scanMedia(dir.path(), QStringLiteral("CD"), callbacks, &progress);
        QVERIFY(outcome.stopped);
        QCOMPARE(outcome.rows.size(), 0);
        QCOMPARE(imported, duringWalk ? 0 : 2);
    }
};

ONDRO_TEST_MAIN(MediaScanTest)
#include "test_mediascan.moc"
