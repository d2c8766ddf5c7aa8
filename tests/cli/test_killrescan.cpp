// ondro-cli rescan --yes killed (SIGKILL) at moments spread over its run,
// on a medium with a file the system will not read and entries with keys
// of line 10 the rescan does not measure: the catalogue is the old one or
// the new one, whole, and the new one keeps all of that.
#include "catalogrows.h"
#include "clirun.h"
#include "id3bytes.h"
#include "killedruns.h"
#include "catalogue/cataloguelistfile.h"
#include "testenv.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qsizetype OtherEntries = 100000; // so that the load and the save take a while
constexpr int Moments = 20;

// The medium's entry of name (by the end of its path) in rows.
qsizetype rowOf(const RowStore &rows, const QString &name)
{
    for (qsizetype row = rows.size() - 1; row >= 0; --row) {
        if (rows.field(row, FieldFilename).endsWith(u'/' + name))
            return row;
    }
    return -1;
}

} // namespace

class KillRescanTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedRescanLeavesOldOrNewWhole()
    {
        const QString unreadable = unreadableForRoot();
        QVERIFY2(!unreadable.isEmpty(), "no write-only sysfs attribute to stand for an unreadable file");
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data")), medium = dir.filePath(QStringLiteral("cd"));
        const QString list = data + QStringLiteral("/zembra.lst");
        QVERIFY(CatalogueListFile::save(list, CatalogRows::generated(OtherEntries)).ok);
        for (int i = 1; i <= 9; ++i)
            QVERIFY(writeBytes(medium + QStringLiteral("/s%1.mp3").arg(i), taggedMp3(QByteArray("s") + QByteArray::number(i))));
        const QStringList common{QStringLiteral("--data-dir"), data};
        QCOMPARE(runOndroCli(QStringLiteral(ONDRO_CLI_PATH), common + QStringList{"scan", medium, "--source", "USB9"}).status, 0);

        CatalogueListFile::ReadResult read = CatalogueListFile::read(list);
        const qsizetype rated = rowOf(read.rows, QStringLiteral("s1.mp3")), later = rowOf(read.rows, QStringLiteral("s3.mp3"));
        const QByteArray ratedLine = read.rows.extensionUtf8(rated).toByteArray() + " myrating=5 lovedby=ann";
        read.rows.setExtension(rated, ratedLine);
        read.rows.setExtension(later, "ondro:2 future=yes");
        QVERIFY(CatalogueListFile::save(list, read.rows).ok);
        QVERIFY(QFile::remove(medium + QStringLiteral("/s2.mp3")) && makeSymlink(unreadable, medium + QStringLiteral("/s2.mp3")));
        QVERIFY(writeBytes(medium + QStringLiteral("/s4.mp3"), taggedMp3("s4, retagged")));
        const QByteArray oldBytes = fileBytes(list);

        // Whole runs give the new catalogue and how long a run takes.
        KilledRuns runs{QStringLiteral(ONDRO_CLI_PATH), common + QStringList{"rescan", "--source", "USB9", "--yes"},
                        [&] { return writeBytes(list, oldBytes); }};
        const CliRun whole = runs.timeWhole();
        QCOMPARE(whole.status, 0);
        QCOMPARE(whole.out, QByteArray("Rescan USB9: 0 added, 0 removed, 1 changed, 0 moved, 7 unchanged, 1 not seen "
                                       "(unreadable: s2.mp3: Permission denied).\n"));
        const QByteArray newBytes = fileBytes(list);
        const CatalogueListFile::ReadResult after = CatalogueListFile::read(list);
        QCOMPARE(after.rows.size(), OtherEntries + 9);
        QCOMPARE(after.rows.field(rowOf(after.rows, QStringLiteral("s2.mp3")), FieldTrack), QStringLiteral("s2"));
        QCOMPARE(after.rows.field(rowOf(after.rows, QStringLiteral("s4.mp3")), FieldTrack), QStringLiteral("s4, retagged"));
        QCOMPARE(after.rows.extensionUtf8(rated), ratedLine);
        QCOMPARE(after.rows.extensionUtf8(later), "ondro:2 future=yes");

        int oldSeen = 0, newSeen = 0;
        for (int moment = 0; moment < Moments; ++moment) {
            const bool last = moment == Moments - 1;
            const int status = runs.runUntil(moment, Moments);
            QVERIFY(status == -1 || status == 0);
            if (last)
                QCOMPARE(status, 0);
            const QByteArray now = fileBytes(list);
            QVERIFY2(now == oldBytes || now == newBytes, qPrintable(QStringLiteral("moment %1: %2 bytes").arg(moment).arg(now.size())));
            if (!last)
                (now == oldBytes ? oldSeen : newSeen)++;
            const QStringList left = leftBesideSaves(data);
            QVERIFY2(left.isEmpty(), qPrintable(left.join(QStringLiteral(", "))));
        }
        qInfo("a rescan takes %lld ms; %d kills left the old catalogue, %d the new one", qlonglong(runs.runMicros / 1000),
              oldSeen, newSeen);
        QVERIFY2(oldSeen > 0 && newSeen > 0, "the kills did not reach both sides of the rename");
    }
};

ONDRO_TEST_MAIN(KillRescanTest)
#include "test_killrescan.moc"
