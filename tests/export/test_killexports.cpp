// ondro-cli killed (SIGKILL) at moments spread over a library creation or
// an export: the target is absent or whole each time (a library opens and
// holds every row; an export is the old or the new bytes), and nothing is
// left that keeps a later run from working.
#include "catalogrows.h"
#include "clirun.h"
#include "export/libraryfile.h"
#include "export/tunepostexport.h"
#include "catalogue/cataloguelistfile.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMap>
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

// The upload-site lists in folder by number, with their bytes.
QMap<int, QByteArray> listsIn(const QString &folder)
{
    QMap<int, QByteArray> lists;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("tunepost-*.m3u")}, QDir::Files)) {
        bool number = false;
        const int n = name.sliced(9, name.size() - 13).toInt(&number);
        if (number && TunepostExport::fileName(n) == name)
            lists.insert(n, fileBytes(dir.filePath(name)));
    }
    return lists;
}

// Names in folder that are neither a list nor a temporary file of one.
QStringList strangersBesideLists(const QString &folder)
{
    QStringList strangers;
    for (const QString &name : othersIn(folder, {})) {
        const bool list = name.startsWith(QLatin1String("tunepost-")) && name.endsWith(QLatin1String(".m3u"));
        const bool temporary = name.startsWith(QLatin1String(".tunepost-")) && name.endsWith(QLatin1String(".tmp"));
        if (!list && !temporary)
            strangers << name;
    }
    return strangers;
}

QStringList temporariesIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".tunepost-*.m3u.*.tmp")}, QDir::AllEntries | QDir::Hidden | QDir::System);
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
            for (const QString &name : othersIn(out.path(), {targetName(kind)}))
                QVERIFY2(name.startsWith(u'.' + targetName(kind) + u'.') && name.endsWith(QLatin1String(".tmp")),
                         qPrintable(at + QStringLiteral(": ") + name));
        }
        qInfo("%s: a run takes %lld ms; %d kills left the old file or none, %d the new one whole, %lld temporary "
              "files stayed", qPrintable(kind), qlonglong(runMicros / 1000), absentOrOld, whole,
              qlonglong(othersIn(out.path(), {targetName(kind)}).size()));
        QVERIFY2(absentOrOld > 0 && whole > 0, "the kills did not reach both sides of the rename");

        // A later run works beside whatever the killed ones left, and tidies
        // it once it is old enough not to belong to a run still going.
        const QStringList leftovers = othersIn(out.path(), {targetName(kind)});
        for (const QString &name : leftovers) {
            QFile file(out.filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
        }
        QFile::remove(target);
        QCOMPARE(runOndroCli(QStringLiteral(ONDRO_CLI_PATH), arguments).status, 0);
        if (!database)
            QCOMPARE(fileBytes(target), newBytes);
        QCOMPARE(othersIn(out.path(), {targetName(kind)}), QStringList());
    }

    // The upload-site lists are many files, each saved whole before the
    // next is begun: after a kill each list present is an old one or the
    // new one, and a later run gives the set an unkilled run gives.
    void killedListExportLeavesWholeLists()
    {
        QTemporaryDir out;
        const QStringList arguments = cliArguments(data, QStringLiteral("tunepost"), out.path());

        // Whole runs give the new lists and how long a run takes (the
        // shorter of two: the first one also warms the caches up).
        qint64 runMicros = 0;
        for (int run = 0; run < 2; ++run) {
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(runOndroCli(QStringLiteral(ONDRO_CLI_PATH), arguments).status, 0);
            const qint64 micros = timer.nsecsElapsed() / 1000;
            runMicros = run == 0 ? micros : std::min(runMicros, micros);
        }
        const QMap<int, QByteArray> newLists = listsIn(out.path());
        const int count = int(newLists.size());
        QVERIFY2(count > 4, "the export should span several lists");
        QCOMPARE(newLists.lastKey(), count);

        // An earlier day's export: the first half of the numbers, and one
        // past what this export reaches, which it must leave alone.
        QMap<int, QByteArray> oldLists;
        for (int n = 1; n <= count / 2; ++n)
            oldLists.insert(n, QStringLiteral("Old Band-Old Song %1.mp3\r\n").arg(n).toUtf8());
        const int beyond = count + 2;
        oldLists.insert(beyond, QByteArrayLiteral("Larger Export-Last Song.mp3\r\n"));

        int interrupted = 0;
        QList<int> newAtKill; // lists already new when each kill came
        for (int moment = 0; moment < Moments; ++moment) {
            // The temporary files of earlier kills stay, as they would.
            for (const QString &name : QDir(out.path()).entryList({QStringLiteral("tunepost-*.m3u")}, QDir::Files))
                QVERIFY(QFile::remove(out.filePath(name)));
            for (auto it = oldLists.cbegin(); it != oldLists.cend(); ++it)
                QVERIFY(writeBytes(out.filePath(TunepostExport::fileName(it.key())), it.value()));
            QProcess child;
            child.start(QStringLiteral(ONDRO_CLI_PATH), arguments);
            QVERIFY(child.waitForStarted());
            // Reading the catalogue is a small part of this run: the
            // moments go from early on to just past the end, and the last
            // one comes after the run ended, whatever the load.
            if (moment < Moments - 1) {
                ::usleep(useconds_t(runMicros * (5 + 100 * moment / (Moments - 1)) / 100));
                child.kill();
            }
            QVERIFY(child.waitForFinished(60000));

            const QString at = QStringLiteral("moment %1 of %2").arg(moment).arg(Moments);
            const QMap<int, QByteArray> now = listsIn(out.path());
            int fresh = 0;
            for (auto it = now.cbegin(); it != now.cend(); ++it) {
                const bool isNew = newLists.contains(it.key()) && it.value() == newLists.value(it.key());
                const bool isOld = oldLists.contains(it.key()) && it.value() == oldLists.value(it.key());
                QVERIFY2(isNew || isOld, qPrintable(at + QStringLiteral(": %1 holds %2 bytes of neither export")
                                                            .arg(TunepostExport::fileName(it.key()))
                                                            .arg(it.value().size())));
                fresh += isNew;
            }
            QCOMPARE(now.value(beyond), oldLists.value(beyond));
            for (int n = 1; n <= count / 2; ++n)
                QVERIFY2(now.contains(n), qPrintable(at + QStringLiteral(": list %1 is gone").arg(n)));
            QVERIFY2(strangersBesideLists(out.path()).isEmpty(),
                     qPrintable(at + QStringLiteral(": ") + strangersBesideLists(out.path()).join(u' ')));
            interrupted += fresh < count;
            newAtKill << fresh;
        }
        QCOMPARE(newAtKill.last(), count);
        QStringList spread;
        for (int n : newAtKill)
            spread << QString::number(n);
        qInfo("tunepost: a run takes %lld ms and writes %d lists; the kills came with %s of them new; %lld "
              "temporary files stayed", qlonglong(runMicros / 1000), count, qPrintable(spread.join(u',')),
              qlonglong(temporariesIn(out.path()).size()));
        QVERIFY2(interrupted > 0, "no kill came before the last list was in place");

        // A later run, once what the killed runs left is old enough not to
        // belong to a run still going, gives the whole new set and tidies.
        for (const QString &name : temporariesIn(out.path())) {
            QFile file(out.filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
        }
        QCOMPARE(runOndroCli(QStringLiteral(ONDRO_CLI_PATH), arguments).status, 0);
        QMap<int, QByteArray> expected = newLists;
        expected.insert(beyond, oldLists.value(beyond));
        QCOMPARE(listsIn(out.path()), expected);
        QCOMPARE(temporariesIn(out.path()), QStringList());
        QCOMPARE(strangersBesideLists(out.path()), QStringList());
    }
};

ONDRO_TEST_MAIN(KillExportsTest)
#include "test_killexports.moc"
