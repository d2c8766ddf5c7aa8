// ondro-cli's changes to media (a rename, a removal, and a relocation: a
// rescan from the folder a medium was moved to) killed (SIGKILL) at moments
// spread over their run, or failing between their writes: a start after
// finds both files whole, every entry's medium registered and each medium's
// figures as its entries give them; the command run again finishes it.
#include "catalogrows.h"
#include "clirun.h"
#include "id3bytes.h"
#include "killedruns.h"
#include "catalogue/cataloguelistfile.h"
#include "media/mediaregister.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qsizetype OtherEntries = 60000; // so that the load and the save take a while
constexpr int Moments = 14;
const QString Cli = QStringLiteral(ONDRO_CLI_PATH);

// A data folder whose list file holds OtherEntries entries of 50
// registered media and USB9, scanned by ondro-cli from a folder since
// moved to moved.
struct MediaData
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString list = data + QStringLiteral("/zembra.lst");
    const QString media = MediaRegister::fileIn(data);
    const QString moved = dir.filePath(QStringLiteral("moved"));

    bool make()
    {
        const RowStore rows = CatalogRows::generated(OtherEntries);
        MediaRegister registered;
        for (const QByteArray &source : ownSources(rows))
            registered.recordFor(QString::fromUtf8(source)).root = QStringLiteral("/media/cdrom");
        const QString medium = dir.filePath(QStringLiteral("cd"));
        for (int i = 1; i <= 6; ++i) {
            if (!writeBytes(medium + QStringLiteral("/s%1.mp3").arg(i), taggedMp3("s" + QByteArray::number(i))))
                return false;
        }
        return CatalogueListFile::save(list, rows).ok && registered.save(media).ok
               && runOndroCli(Cli, {"--data-dir", data, "scan", medium, "--source", "USB9"}).status == 0
               && QDir().rename(medium, moved);
    }
    // The command's arguments, MOVED standing for the folder moved to.
    QStringList arguments(QStringList command) const
    {
        command.replaceInStrings(QStringLiteral("MOVED"), moved);
        return QStringList{"--data-dir", data} + command;
    }
};

// What a start finds wrong in data: the files not whole, an entry without
// its medium, or figures media list shows that its entries do not give.
QString faultIn(const QString &data)
{
    if (const QStringList sources = registeredSources(data); sources.size() == 1 && sources.first().contains(u' '))
        return sources.first();
    const CliRun listed = runOndroCli(Cli, {"--data-dir", data, "media", "list", "--json"});
    if (listed.status != 0)
        return QStringLiteral("media list: ") + QString::fromUtf8(listed.err);
    const TotalsBySource totals = mediaTotals(CatalogueListFile::read(data + QStringLiteral("/zembra.lst")).rows);
    for (const QJsonValue &value : QJsonDocument::fromJson(listed.out).array()) {
        const QJsonObject shown = value.toObject();
        const auto own = totals.find(shown[u"source"].toString());
        const MediumTotals entries = own == totals.end() ? MediumTotals() : own->second;
        if (shown[u"files"].toInteger() != entries.files || shown[u"bytes"].toInteger() != entries.bytes
            || shown[u"seconds"].toInteger() != entries.seconds)
            return QStringLiteral("%1 shows %2 files, %3 bytes, %4 s; its entries give %5, %6, %7")
                .arg(shown[u"source"].toString())
                .arg(shown[u"files"].toInteger())
                .arg(shown[u"bytes"].toInteger())
                .arg(shown[u"seconds"].toInteger())
                .arg(entries.files)
                .arg(entries.bytes)
                .arg(entries.seconds);
    }
    return {};
}

void addCommands()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<bool>("gains"); // the register is written before the list file
    QTest::newRow("rename") << QStringList{"media", "rename", "CD07", "CD77"} << true;
    QTest::newRow("remove") << QStringList{"media", "remove", "CD08", "--yes"} << false;
    QTest::newRow("relocate") << QStringList{"rescan", "--source", "USB9", "MOVED", "--yes"} << true;
}

} // namespace

class KillMediaTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedChangeLeavesBothWhole_data() { addCommands(); }
    void killedChangeLeavesBothWhole()
    {
        QFETCH(QStringList, command);
        QFETCH(bool, gains);
        MediaData folder;
        QVERIFY(folder.make());
        const QByteArray oldList = fileBytes(folder.list), oldMedia = fileBytes(folder.media);
        KilledRuns runs{Cli, folder.arguments(command),
                        [&] { return writeBytes(folder.list, oldList) && writeBytes(folder.media, oldMedia); }};
        runs.lastPercent = 150; // a run saves early: most kills before its end
        const CliRun whole = runs.timeWhole();
        QVERIFY2(whole.status == 0, whole.err.constData());
        const QByteArray newList = fileBytes(folder.list);
        QVERIFY(newList != oldList);

        // Rounds of moments until a kill came between the writes (a busy
        // machine runs some faster than when they were timed), three at most.
        const QString between = QStringLiteral("list file old, register written");
        QMap<QString, int> left; // by what a kill left of the two files
        for (int attempt = 0; attempt < 3 * Moments && (attempt < Moments || (gains && !left.contains(between)));
             ++attempt) {
            const int moment = attempt % Moments;
            const int status = runs.runUntil(moment, Moments);
            QVERIFY2(status == -1 || status == 0, qPrintable(QStringLiteral("moment %1: status %2").arg(moment).arg(status)));
            const QByteArray now = fileBytes(folder.list);
            QVERIFY2(now == oldList || now == newList, qPrintable(QStringLiteral("moment %1: %2 bytes").arg(moment).arg(now.size())));
            QCOMPARE(faultIn(folder.data), QString());
            const QStringList beside = leftBesideSaves(folder.data);
            QVERIFY2(beside.isEmpty(), qPrintable(beside.join(QStringLiteral(", "))));
            if (status == 0)
                continue;
            left[QStringLiteral("list file %1, register %2")
                     .arg(now == oldList ? "old" : "new", fileBytes(folder.media) == oldMedia ? "old" : "written")]++;
            runOndroCli(Cli, runs.arguments); // refused when the kill came after the list file's save
            QVERIFY2(fileBytes(folder.list) == newList, qPrintable(QStringLiteral("moment %1, run again").arg(moment)));
            QCOMPARE(faultIn(folder.data), QString());
        }
        QStringList counts;
        for (auto it = left.cbegin(); it != left.cend(); ++it)
            counts << QStringLiteral("%1 (%2)").arg(it.key()).arg(it.value());
        qInfo("a run takes %lld ms; kills left %s", qlonglong(runs.runMicros / 1000), qPrintable(counts.join(u", ")));
        if (gains)
            QVERIFY2(left.contains(between), "no kill came between the writes");
    }

    // The list file cannot be written (a file size limit, which binds root
    // too, lets the register's small writes through): the run fails saying
    // why, both files are as they were, and the command run again does it.
    void failedListSaveKeepsBoth_data() { addCommands(); }
    void failedListSaveKeepsBoth()
    {
        QFETCH(QStringList, command);
        MediaData folder;
        QVERIFY(folder.make());
        const QByteArray oldList = fileBytes(folder.list), oldMedia = fileBytes(folder.media);
        QProcess limited;
        limited.start(QStringLiteral("/bin/sh"), QStringList{"-c", "trap '' XFSZ; ulimit -f 2000; exec \"$0\" \"$@\"", Cli}
                                                     + folder.arguments(command));
        QVERIFY(limited.waitForFinished(60000));
        const QByteArray err = limited.readAllStandardError();
        QCOMPARE(limited.exitCode(), 3);
        QVERIFY2(err.contains("zembra.lst") && err.contains("File too large"), err.constData());
        QCOMPARE(fileBytes(folder.list), oldList);
        QCOMPARE(fileBytes(folder.media), oldMedia);
        QCOMPARE(othersIn(folder.data, {"zembra.lst", "media.json", "ondro.lock"}), QStringList());

        const CliRun again = runOndroCli(Cli, folder.arguments(command));
        QVERIFY2(again.status == 0, again.err.constData());
        QVERIFY(fileBytes(folder.list) != oldList);
        QCOMPARE(faultIn(folder.data), QString());
    }
};

ONDRO_TEST_MAIN(KillMediaTest)
#include "test_killmedia.moc"
