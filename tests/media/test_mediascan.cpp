#include "media/mediascan.h"
#include "media/mediawalk.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

const QByteArray Frame = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(200, '\x22');

QByteArray id3v1Block(const QByteArray &title, const QByteArray &artist, int genre)
{
    return "TAG" + title.leftJustified(30, '\0') + artist.leftJustified(30, '\0') + QByteArray(64, '\0')
           + char(genre);
}

bool writeFile(const QString &path, const QByteArray &content = Frame)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
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
        const WalkResult result = MediaWalk::walk(root + u'/', QStringLiteral("*.MP3"), callbacks);
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
        QCOMPARE(relative(dir.path(), MediaWalk::walk(dir.path(), QStringLiteral("t?.MP?")).files),
                 (QStringList{"t1.mp3", "t3.MP2"}));
    }

    void pathJoining()
    {
        QCOMPARE(MediaWalk::childPath(QStringLiteral("/"), QStringLiteral("a.mp3")), QStringLiteral("/a.mp3"));
        QCOMPARE(MediaWalk::childPath(QStringLiteral("/media/cd"), QStringLiteral("a.mp3")),
                 QStringLiteral("/media/cd/a.mp3"));
    }

    void unreadableFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(writeFile(root + QStringLiteral("/a/in.mp3")));
        QVERIFY(writeFile(root + QStringLiteral("/b/locked.mp3")));
        QVERIFY(writeFile(root + QStringLiteral("/c/after.mp3")));
        const QString locked = root + QStringLiteral("/b");
        QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0) == 0);
        const bool stillReadable = QDir(locked).entryList(QDir::Files).size() > 0;
        const WalkResult result = MediaWalk::walk(root, QStringLiteral("*.MP3"));
        ::chmod(QFile::encodeName(locked).constData(), 0700);
        if (stillReadable)
            QSKIP("Running with the right to read any folder (root): a folder cannot be made unreadable");
        QCOMPARE(result.failedFolders, QStringList{locked});
        QCOMPARE(relative(root, result.files), (QStringList{"a/in.mp3", "c/after.mp3"}));
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
        QCOMPARE(MediaWalk::walk(dir.path(), QStringLiteral("*.MP3")).files.size(), count);
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
        callbacks.importStarted = [&](qsizetype total) { events.append(QStringLiteral("start %1").arg(total)); };
        callbacks.fileImported = [&](qsizetype i, qsizetype total) { events.append(QStringLiteral("%1/%2").arg(i).arg(total)); };
        const ScanOutcome outcome = scanMedia(root, source, callbacks);

        QVERIFY(!outcome.stopped);
        QCOMPARE(events, (QStringList{"folder 0", "folder 2", "start 3", "1/3", "2/3", "3/3"}));
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
        std::atomic_bool stop = false;
        int imported = 0;
        int folders = 0;
        ScanCallbacks callbacks;
        callbacks.folderEntered = [&](const QString &, qsizetype) {
            if (duringWalk && ++folders == 2)
                stop = true;
        };
        callbacks.fileImported = [&](qsizetype, qsizetype) {
            if (++imported == 2)
                stop = true;
        };
        const ScanOutcome outcome = scanMedia(dir.path(), QStringLiteral("CD"), callbacks, &stop);
        QVERIFY(outcome.stopped);
        QCOMPARE(outcome.rows.size(), 0);
        QCOMPARE(imported, duringWalk ? 0 : 2);
    }
};

ONDRO_TEST_MAIN(MediaScanTest)
#include "test_mediascan.moc"
