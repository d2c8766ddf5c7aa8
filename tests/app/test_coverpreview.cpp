#include "app/coverpreview.h"
#include "app/startup.h"
#include "base/platform/singleinstance.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Records what the preview loads and whether it is shown.
struct PreviewProbe
{
    QStringList loads;
    QStringList failing; // paths whose picture cannot be loaded
    std::optional<bool> visible;

    CoverPreview::Loader loader()
    {
        return [this](const QString &path) {
            loads << path;
            return !failing.contains(path);
        };
    }
    CoverPreview::Shower shower()
    {
        return [this](bool v) { visible = v; };
    }
};

class CoverPreviewAndStartupTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void samePathTwiceLoadsOnce()
    {
        CoverPreview preview(QStringLiteral("Label2"));
        PreviewProbe probe;
        preview.update(QStringLiteral("/c/a.jpg"), probe.loader(), probe.shower());
        preview.update(QStringLiteral("/c/a.jpg"), probe.loader(), probe.shower());
        QCOMPARE(probe.loads, QStringList{"/c/a.jpg"});
        QCOMPARE(probe.visible, std::optional<bool>(true));
        QCOMPARE(preview.remembered(), QStringLiteral("/c/a.jpg"));
    }

    void rowWithoutCoverHides()
    {
        CoverPreview preview;
        PreviewProbe probe;
        preview.update(QStringLiteral("/c/a.jpg"), probe.loader(), probe.shower());
        preview.update(QString(), probe.loader(), probe.shower());
        QCOMPARE(probe.visible, std::optional<bool>(false));
        QCOMPARE(preview.remembered(), QString());
        // and the same picture is loaded again afterwards
        preview.update(QStringLiteral("/c/a.jpg"), probe.loader(), probe.shower());
        QCOMPARE(probe.loads.size(), 2);
    }

    void missingPictureHidesAndKeepsRememberedPath()
    {
        CoverPreview preview;
        PreviewProbe probe;
        preview.update(QStringLiteral("/c/a.jpg"), probe.loader(), probe.shower());
        probe.failing << QStringLiteral("/c/gone.jpg");
        preview.update(QStringLiteral("/c/gone.jpg"), probe.loader(), probe.shower());
        QCOMPARE(probe.visible, std::optional<bool>(false));
        QCOMPARE(preview.remembered(), QStringLiteral("/c/a.jpg"));
        // a row with the remembered path now leaves the preview hidden
        preview.update(QStringLiteral("/c/a.jpg"), probe.loader(), probe.shower());
        QCOMPARE(probe.visible, std::optional<bool>(false));
        QCOMPARE(probe.loads.size(), 2);
    }

    void noSelectionDoesNothing()
    {
        CoverPreview preview(QStringLiteral("Label2"));
        PreviewProbe probe;
        preview.update(std::nullopt, probe.loader(), probe.shower());
        QVERIFY(!probe.visible.has_value());
        QCOMPARE(preview.remembered(), QStringLiteral("Label2"));
    }

    void startupPlan_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("odlMode");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<bool>("missing");

        // In the isolated home, which is removed when the test program ends.
        const QString dir = TestEnv::home() + QStringLiteral("/arguments");
        QVERIFY(QDir().mkpath(dir));
        const QString library = dir + QStringLiteral("/friends.odl");
        const QString text = dir + QStringLiteral("/notes.txt");
        for (const QString &path : {library, text}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QTest::newRow("no argument") << QString() << false << false << false;
        QTest::newRow("lower-case .odl") << library << true << true << false;
        QTest::newRow("upper-case .ODL of a missing file") << dir + QStringLiteral("/gone.ODL") << true << false << true;
        QTest::newRow("trailing blanks") << library + QStringLiteral("  ") << true << false << false;
        QTest::newRow("leading blanks trimmed") << QStringLiteral("  ") + library << true << true << false;
        QTest::newRow("text file") << text << true << false << false;
    }

    void startupPlan()
    {
        QFETCH(QString, argument);
        QFETCH(bool, odlMode);
        QFETCH(bool, loads);
        QFETCH(bool, missing);
        const StartupPlan plan = planStartup(argument);
        QCOMPARE(plan.mode == StartupMode::Odl, odlMode);
        QCOMPARE(!plan.libraryPath.isEmpty(), loads);
        QCOMPARE(plan.libraryMissing, missing);
    }

    void secondCopyIsRefusedAndStaleLockTakenOver()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("ondro.lock"));
        SingleInstance first(lock);
        QVERIFY(first.acquire());
        SingleInstance second(lock);
        QVERIFY(!second.acquire());

        // A lock file left by a process that no longer exists.
        QFile stale(dir.filePath(QStringLiteral("stale.lock")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("999999999\nondro\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        stale.close();
        SingleInstance afterCrash(dir.filePath(QStringLiteral("stale.lock")));
        QVERIFY(afterCrash.acquire());
    }

    // A lock file that names no live owner is taken over; a folder in its
    // place cannot be, and says so instead of passing for a running copy.
    void lockFoundAtStart_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: a folder of that name
        QTest::addColumn<bool>("taken");
        QTest::newRow("empty lock file") << QByteArray("") << true;
        QTest::newRow("garbage") << QByteArray("not a lock\n\x01\xff") << true;
        QTest::newRow("folder named ondro.lock") << QByteArray() << false;
    }

    void lockFoundAtStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ondro.lock"));
        if (content.isNull()) {
            QVERIFY(QDir().mkdir(path));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(content), content.size());
        }
        SingleInstance lock(path);
        QCOMPARE(lock.acquire(), taken);
        QCOMPARE(lock.failed(), !taken);
        QCOMPARE(SingleInstance(path).acquire(), false);
    }

    void captions()
    {
        QCOMPARE(mainCaption(12), QStringLiteral("Ondro 2000 - 12 files"));
        QCOMPARE(mainCaption(1000000), QStringLiteral("Ondro 2000 - 1000000 files"));
        QCOMPARE(splashVersionText(), QStringLiteral("[2000] version 2.6"));
        QCOMPARE(aboutVersionText(), QStringLiteral("Ondro 2000 v2.6"));
    }
};

ONDRO_TEST_MAIN(CoverPreviewAndStartupTest)
#include "test_coverpreview.moc"
