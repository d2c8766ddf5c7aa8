#include "catalogrows.h"
#include "media/mediasession.h"
#include "recordingplatform.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

namespace {

// A register with one folder medium, HD01 (no UUID), holding a.mp3.
struct FolderMedium
{
    QTemporaryDir dir;
    QString root = dir.filePath(QStringLiteral("music"));
    RecordingPlatform platform;
    MediaSession session{dir.filePath(QStringLiteral("media.json")), platform};
    RowStore rows = CatalogRows::fromPaths({root + QStringLiteral("/a.mp3")}, {QStringLiteral("HD01")});

    bool make()
    {
        platform.volumes = QList<MountedVolume>();
        return writeBytes(root + QStringLiteral("/a.mp3"), "ID3") && session.load().isEmpty()
               && session.noteScan(QStringLiteral("HD01"), root, mediumTotals(rows, QStringLiteral("HD01"))).isEmpty();
    }
    const MediumState &state() const { return *session.states().state(QStringLiteral("HD01")); }
};

// The longest the thread went without running its events while fn ran
// and then while the loop waited for done.
template<typename Fn, typename Done>
qint64 longestStall(Fn fn, Done done)
{
    QElapsedTimer clock, gap;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, gap.restart());
    });
    clock.start();
    gap.start();
    ticks.start();
    fn();
    longest = std::max(longest, gap.elapsed());
    while (!done() && clock.elapsed() < 3000)
        QTest::qWait(5);
    return longest;
}

} // namespace

class FolderProbeTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A root whose check hangs for 10 s: the medium turns unknown (not
    // offline), and neither the refresh nor the wait holds the thread.
    void hungRootIsUnknown()
    {
        FolderMedium medium;
        QVERIFY(medium.make());
        medium.session.refresh(medium.rows);
        QVERIFY(medium.state().online);

        QSemaphore release;
        medium.session.setFolderStat([&release](const QString &, const QStringList &) {
            release.tryAcquire(1, 10000);
            return true;
        });
        const qint64 stall = longestStall([&] { medium.session.refresh(medium.rows); },
                                          [&] { return medium.state().unknown; });
        QVERIFY(medium.state().unknown);
        QVERIFY(!medium.session.states().isOffline(QStringLiteral("HD01")));
        qInfo("window thread held at most %lld ms", stall);
        QVERIFY(stall < 50);
        release.release();
        QTRY_VERIFY(medium.state().online && !medium.state().unknown);
    }

    // Polled as the main window does: the folder moved away turns offline
    // within 2 s, and back online within 2 s of its return.
    void movedFolderFollowsWithin2s()
    {
        FolderMedium medium;
        QVERIFY(medium.make());
        medium.session.refresh(medium.rows);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &medium.session, &MediaSession::poll);
        poll.start(600);
        const QString away = medium.dir.filePath(QStringLiteral("away"));
        for (const bool online : {false, true}) {
            QVERIFY(online ? QDir().rename(away, medium.root) : QDir().rename(medium.root, away));
            QElapsedTimer clock;
            clock.start();
            QTRY_VERIFY_WITH_TIMEOUT(medium.state().online == online, 2000);
            qInfo("%s after %lld ms", online ? "online" : "offline", clock.elapsed());
        }
    }
};

ONDRO_TEST_MAIN(FolderProbeTest)
#include "test_folderprobe.moc"
