// ondro-cli killed (SIGKILL) at moments spread over a library creation or
// an export: the target is absent or whole each time (a library opens and
// holds every row; an export is the old or the new bytes), and nothing is
// left that keeps a later run from working.
#include "catalogrows.h"
#include "clirun.h"
#include "export/libraryfile.h"
#include "store/cataloguelistfile.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

constexpr qsizetype Entries = 100000;
constexpr int Moments = 20;

QStringList cliArguments(const QString &data, const QString &kind, const QString &folder)
{
    const QStringList common{QStringLiteral("--data-dir"), data};
    if (kind == QLatin1String("library"))
        return common + QStringList{QStringLiteral("library"), QStringLiteral("create"),
                                    folder + QStringLiteral("/mine.odl")};
    return common + QStringList{QStringLiteral("export"), kind, QStringLiteral("--to"), folder};
}

QString targetName(const QString &kind)
{
    if (kind == QLatin1String("library"))
        return QStringLiteral("mine.odl");
    if (kind == QLatin1String("database"))
        return LibraryFile::databaseExportFileName();
    return kind == QLatin1String("covers") ? QStringLiteral("zembra.html") : QStringLiteral("ondrolist.txt");
}

QStringList othersIn(const QString &folder, const QString &name)
{
    QStringList others = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    others.removeAll(name);
    return others;
}

} // namespace

class KillExportsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString data;

private Q_SLOTS:
    void initTestCase()
    {
        data = dir.filePath(QStringLiteral("data"));
        QStringList paths;
        for (qsizetype i = 0; i < Entries; ++i)
            paths << QStringLiteral("/media/disk/Artist %1/Album %2/Track %3.mp3").arg(i / 500).arg(i / 12).arg(i);
        QVERIFY(CatalogueListFile::save(data + QStringLiteral("/zembra.lst"), CatalogRows::fromPaths(paths)).ok);
    }

    void killedRunLeavesAbsentOrWhole_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"library", "database", "covers", "text"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void killedRunLeavesAbsentOrWhole()
    {
        QFETCH(QString, kind);
        const bool database = kind == QLatin1String("library") || kind == QLatin1String("database");
        QTemporaryDir out;
        const QString target = out.filePath(targetName(kind));
        const QStringList arguments = cliArguments(data, kind, out.path());
        const QByteArray oldBytes = "an export of an earlier day\r\n";

        // One whole run gives the new bytes and how long a run takes.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(runOndroCli(QStringLiteral(ONDRO_CLI_PATH), arguments).status, 0);
        const qint64 runMicros = timer.nsecsElapsed() / 1000;
        const QByteArray newBytes = fileBytes(target);

        int absentOrOld = 0, whole = 0;
        for (int moment = 0; moment < Moments; ++moment) {
            QFile::remove(target);
            if (!database)
                QVERIFY(writeBytes(target, oldBytes));
            QProcess child;
            child.start(QStringLiteral(ONDRO_CLI_PATH), arguments);
            QVERIFY(child.waitForStarted());
            // The first part of a run reads the catalogue; the moments
            // are spread from there to just past the end of the run.
            // The last one comes after the run ended, whatever the load.
            if (moment < Moments - 1) {
                ::usleep(useconds_t(runMicros * (30 + 80 * moment / (Moments - 1)) / 100));
                child.kill();
            }
            QVERIFY(child.waitForFinished(60000));

            const QString at = QStringLiteral("moment %1 of %2").arg(moment).arg(Moments);
            if (database) {
                if (!QFileInfo::exists(target)) {
                    ++absentOrOld;
                } else {
                    RowStore rows;
                    QString reason;
                    QVERIFY2(LibraryFile::load(target, rows, &reason), qPrintable(at + QStringLiteral(": ") + reason));
                    QCOMPARE(rows.size(), Entries);
                    ++whole;
                }
            } else {
                const QByteArray now = fileBytes(target);
                QVERIFY2(now == oldBytes || now == newBytes, qPrintable(at + QStringLiteral(": %1 bytes").arg(now.size())));
                (now == oldBytes ? absentOrOld : whole)++;
            }
            // Only temporary files of the killed runs may lie beside it.
            for (const QString &name : othersIn(out.path(), targetName(kind)))
                QVERIFY2(name.startsWith(u'.' + targetName(kind) + u'.') && name.endsWith(QLatin1String(".tmp")),
                         qPrintable(at + QStringLiteral(": ") + name));
        }
        qInfo("%s: a run takes %lld ms; %d kills left the old file or none, %d the new one whole, %lld temporary "
              "files stayed", qPrintable(kind), qlonglong(runMicros / 1000), absentOrOld, whole,
              qlonglong(othersIn(out.path(), targetName(kind)).size()));
        QVERIFY2(absentOrOld > 0 && whole > 0, "the kills did not reach both sides of the rename");

        // A later run works beside whatever the killed ones left, and tidies
        // it once it is old enough not to belong to a run still going.
        const QStringList leftovers = othersIn(out.path(), targetName(kind));
        for (const QString &name : leftovers) {
            QFile file(out.filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
        }
        QFile::remove(target);
        QCOMPARE(runOndroCli(QStringLiteral(ONDRO_CLI_PATH), arguments).status, 0);
        if (!database)
            QCOMPARE(fileBytes(target), newBytes);
        QCOMPARE(othersIn(out.path(), targetName(kind)), QStringList());
    }
};

ONDRO_TEST_MAIN(KillExportsTest)
#include "test_killexports.moc"
