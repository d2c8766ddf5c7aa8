#include "catalogue/cataloguelistfile.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "export/statusjobs.h"
#include "testenv.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

TrackRecord track(const QString &path, const QString &artist = QStringLiteral("Artist"))
{
    return {path, QStringLiteral("CD02"), artist, QStringLiteral("Title"), QStringLiteral("Album"),
            QStringLiteral("1999"), QStringLiteral("Rock"), QString(), QString()};
}

// A job context whose files all lie in one temporary folder.
struct Fixture
{
    QTemporaryDir dir;
    CatalogueModel catalogue;
    RecordingPlatform platform;
    StatusJobContext context{catalogue,
                             Settings::defaults(),
                             platform,
                             dir.filePath(QStringLiteral("ondro2k.ini")),
                             dir.filePath(QStringLiteral("zembra.lst")),
                             dir.filePath(QStringLiteral("exports"))};
    QList<double> progress;

    StatusJobResult run(StatusJob job)
    {
        WorkProgress steps;
        steps.onStep = [this](qint64 i, qint64 n) { progress << progressPercent(i, n); };
        return StatusJobs::run(job, context, &steps);
    }
};

} // namespace

class StatusJobsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void modeTexts()
    {
        QCOMPARE(statusJobModeText(StatusJob::Save), QStringLiteral("SAVE"));
        QCOMPARE(statusJobModeText(StatusJob::Print), QStringLiteral("PRINT"));
        QCOMPARE(statusJobModeText(StatusJob::ExportText), QStringLiteral("EXPORTTEXT"));
    }

    void lastRowIsExactlyHundred_data()
    {
        QTest::addColumn<qint64>("n");
        QTest::newRow("1") << qint64(1);
        QTest::newRow("3") << qint64(3);
        QTest::newRow("7") << qint64(7);
        QTest::newRow("32767") << qint64(32767);
        QTest::newRow("1000003") << qint64(1000003);
    }
    void lastRowIsExactlyHundred()
    {
        QFETCH(qint64, n);
        QCOMPARE(progressPercent(n, n), 100.0);
        QVERIFY(progressPercent(n - 1, n) < 100.0);
        QCOMPARE(progressPercent(0, n), 0.0);
    }

    // The bar moves in whole percents: a step only when the whole percent
    // changes, never past 100, and always ending on 100.
    void wholePercentSteps_data()
    {
        QTest::addColumn<qint64>("n");
        QTest::addColumn<int>("expectedSteps");
        QTest::newRow("3 rows") << qint64(3) << 3;
        QTest::newRow("100 rows") << qint64(100) << 100;
        QTest::newRow("1000 rows") << qint64(1000) << 100;
        QTest::newRow("1000003 rows") << qint64(1000003) << 100;
    }
    void wholePercentSteps()
    {
        QFETCH(qint64, n);
        QFETCH(int, expectedSteps);
        StatusJobs::WholePercentSteps steps;
        QList<int> values;
        for (qint64 i = 1; i <= n; ++i) {
            if (steps.next(progressPercent(i, n)))
                values << steps.value();
        }
        QCOMPARE(values.size(), expectedSteps);
        QCOMPARE(values.last(), 100);
        for (qsizetype k = 1; k < values.size(); ++k)
            QVERIFY(values[k] > values[k - 1]);
    }

    void saveWritesSettingsThenOwnRows()
    {
        Fixture f;
        f.catalogue.append(track(QStringLiteral("/cd/a.mp3")), EntryOrigin::Own);
        f.catalogue.append(track(QStringLiteral("/lib/x.mp3")), EntryOrigin::Library);
        f.catalogue.append(track(QStringLiteral("/cd/b.mp3")), EntryOrigin::Own);
        f.catalogue.append(track(QStringLiteral("/lib/y.mp3")), EntryOrigin::Library);
        f.context.settings.coverPath = QStringLiteral("/covers");
        f.context.settings.widths[1] = 2000.5f;

        const StatusJobResult result = f.run(StatusJob::Save);
        QVERIFY(result.ok);
        QVERIFY(result.message.isEmpty());
        QVERIFY(result.openPath.isEmpty());

        QCOMPARE(fileBytes(f.context.settingsPath), SettingsFile::serialize(f.context.settings));
        QVERIFY(fileBytes(f.context.settingsPath).contains("COVERPATH=/covers\r\nWIDTH1="));
        const RowStore back = CatalogueListFile::read(f.context.listPath).rows;
        QCOMPARE(back.size(), 2);
        QCOMPARE(back.field(0, FieldFilename), QStringLiteral("/cd/a.mp3"));
        QCOMPARE(back.field(1, FieldFilename), QStringLiteral("/cd/b.mp3"));
        QCOMPARE(fileBytes(f.context.listPath).count("\r\n"), 22);

        // Library rows are counted by the bar even though not written.
        QCOMPARE(f.progress, (QList<double>{25.0, 50.0, 75.0, 100.0}));
    }

    void saveEmptyCatalogue()
    {
        Fixture f;
        const StatusJobResult result = f.run(StatusJob::Save);
        QVERIFY(result.ok);
        const QByteArray settings = fileBytes(f.context.settingsPath);
        QCOMPARE(settings.count("\r\n"), 13);
        QVERIFY(settings.startsWith("VERSION=2.6\r\nCOVERPATH=\r\nWIDTH1="));
        QVERIFY(settings.endsWith("EMAIL=\r\nFCOLOR=\r\nBCOLOR=\r\n"));
        QVERIFY(QFile::exists(f.context.listPath));
        QCOMPARE(fileBytes(f.context.listPath), QByteArray());
        QVERIFY(f.progress.isEmpty());
    }

    // Each failing file is named with its reason; the other one is still
    // written, and what stood at the failing place stays untouched.
    void saveFailureNamesTheFile_data()
    {
        QTest::addColumn<bool>("listFails");
        QTest::newRow("list file") << true;
        QTest::newRow("settings file") << false;
    }
    void saveFailureNamesTheFile()
    {
        QFETCH(bool, listFails);
        Fixture f;
        f.catalogue.append(track(QStringLiteral("/cd/a.mp3")), EntryOrigin::Own);
        const QString plain = f.dir.filePath(QStringLiteral("plain"));
        writeBytes(plain, "old content\r\n");
        QString &broken = listFails ? f.context.listPath : f.context.settingsPath;
        const QString &good = listFails ? f.context.settingsPath : f.context.listPath;
        broken = plain + (listFails ? QStringLiteral("/zembra.lst") : QStringLiteral("/ondro2k.ini"));

        const StatusJobResult result = f.run(StatusJob::Save);
        QVERIFY(!result.ok);
        QCOMPARE(result.icon, Prompter::Icon::Critical);
        QVERIFY2(result.message.contains(broken), qPrintable(result.message));
        QVERIFY(!result.message.contains(good));
        QCOMPARE(fileBytes(plain), QByteArray("old content\r\n"));
        QVERIFY(QFile::exists(good));

        ScriptedPrompter prompter;
        StatusJobs::report(result, f.platform, prompter);
        QCOMPARE(prompter.messages(), QStringList{result.message});
        QVERIFY(f.platform.opened.isEmpty());
    }

    // A failed save leaves the previous list file whole.
    void saveFailureKeepsOldListFile()
    {
        Fixture f;
        writeBytes(f.context.listPath, "previous\r\n");
        f.catalogue.append(track(QStringLiteral("/cd/a.mp3")), EntryOrigin::Own);
        // The folder of the temporary file is a plain file: nothing can be created.
        f.context.listPath = f.context.listPath + QStringLiteral("/zembra.lst");
        QVERIFY(!f.run(StatusJob::Save).ok);
        QCOMPARE(fileBytes(f.dir.filePath(QStringLiteral("zembra.lst"))), QByteArray("previous\r\n"));
    }

    void printsPathsInListOrder()
    {
        Fixture f;
        f.catalogue.append(track(QStringLiteral("/cd/c.mp3"), QStringLiteral("Bravo")), EntryOrigin::Own);
        f.catalogue.append(track(QStringLiteral("/lib/a.mp3"), QStringLiteral("Charlie")), EntryOrigin::Library);
        f.catalogue.append(track(QStringLiteral("/cd/b.mp3"), QStringLiteral("Alpha")), EntryOrigin::Own);
        f.catalogue.sort(FieldArtist);

        const StatusJobResult result = f.run(StatusJob::Print);
        QVERIFY(result.ok);
        QVERIFY(result.message.isEmpty());
        QCOMPARE(f.platform.printed,
                 (QStringList{QStringLiteral("/cd/b.mp3"), QStringLiteral("/cd/c.mp3"), QStringLiteral("/lib/a.mp3")}));
        QCOMPARE(f.progress.size(), 3);
        QCOMPARE(f.progress.last(), 100.0);
    }

    void printEmptyCataloguePrintsNothing()
    {
        Fixture f;
        f.platform.hasPrinter = false;
        const StatusJobResult result = f.run(StatusJob::Print);
        QVERIFY(result.ok);
        QVERIFY(result.message.isEmpty());
        QVERIFY(f.platform.printed.isEmpty());
    }

    // Without a printer the same lines go to a PDF in the exports folder,
    // the user is told where, and the document is opened.
    void noPrinterWritesPdf()
    {
        Fixture f;
        f.platform.hasPrinter = false;
        f.catalogue.append(track(QStringLiteral("/cd/a.mp3")), EntryOrigin::Own);
        f.catalogue.append(track(QStringLiteral("/lib/b.mp3")), EntryOrigin::Library);
        const StatusJobResult result = f.run(StatusJob::Print);
        const QString expected = f.context.exportsFolder + QStringLiteral("/ondroindex.pdf");
        QCOMPARE(f.platform.pdfPath, expected);
        QCOMPARE(f.platform.pdfLines, (QStringList{QStringLiteral("/cd/a.mp3"), QStringLiteral("/lib/b.mp3")}));
        QCOMPARE(result.icon, Prompter::Icon::Information);
        QCOMPARE(result.message,
                 QStringLiteral("No printer is installed. The index was saved instead as:\n%1").arg(expected));
        QCOMPARE(f.progress, (QList<double>{50.0, 100.0}));

        ScriptedPrompter prompter;
        StatusJobs::report(result, f.platform, prompter);
        QCOMPARE(prompter.messages(), QStringList{result.message});
        QCOMPARE(f.platform.opened, QStringList{expected});
    }

    // A written file that nothing can show still counts as done, and the
    // user is told where it is; a job that has its own message gives it
    // once, with why the file was not opened.
    void unopenedFileIsNamed_data()
    {
        QTest::addColumn<int>("shellResult");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("told");
        const QString saved = QStringLiteral("Saved as:\n/docs/My Ondro/ondroindex.pdf");
        QTest::newRow("handed over") << int(Platform::ShellHandedOver) << QString() << 0;
        QTest::newRow("no program") << int(Platform::ShellNoAssociation) << QString() << 1;
        QTest::newRow("not found") << int(Platform::ShellFileNotFound) << QString() << 1;
        QTest::newRow("own message, handed over") << int(Platform::ShellHandedOver) << saved << 1;
        QTest::newRow("own message, no program") << int(Platform::ShellNoAssociation) << saved << 1;
    }

    void unopenedFileIsNamed()
    {
        QFETCH(int, shellResult);
        QFETCH(QString, message);
        QFETCH(int, told);
        Fixture f;
        f.platform.openResults.enqueue(shellResult);
        const StatusJobResult result{true, message, Prompter::Icon::Information,
                                     QStringLiteral("/docs/My Ondro/ondroindex.pdf")};
        ScriptedPrompter prompter;
        StatusJobs::report(result, f.platform, prompter);
        QCOMPARE(f.platform.opened, QStringList{result.openPath});
        QCOMPARE(prompter.messages().size(), told);
        if (told)
            QCOMPARE(prompter.messages().first().count(result.openPath), 1);
        if (!message.isEmpty())
            QCOMPARE(prompter.messages().first().contains(QStringLiteral("not be opened")),
                     shellResult != Platform::ShellHandedOver);
    }

    void noPrinterAndNoPdf()
    {
        Fixture f;
        f.platform.hasPrinter = false;
        f.catalogue.append(track(QStringLiteral("/cd/a.mp3")), EntryOrigin::Own);
        f.platform.pdfError = QStringLiteral("disk full");
        const StatusJobResult result = f.run(StatusJob::Print);
        QVERIFY(!result.ok);
        QCOMPARE(result.icon, Prompter::Icon::Critical);
        QVERIFY(result.message.contains(QStringLiteral("ondroindex.pdf")));
        QVERIFY(result.message.contains(QStringLiteral("disk full")));
        QVERIFY(result.openPath.isEmpty());
    }

    void exportTextProgressAndOpen()
    {
        Fixture f;
        f.catalogue.append(track(QStringLiteral("/cd/a.mp3")), EntryOrigin::Own);
        f.catalogue.append(track(QStringLiteral("/lib/b.mp3")), EntryOrigin::Library);
        f.catalogue.append(track(QStringLiteral("/cd/c.mp3")), EntryOrigin::Own);

        const StatusJobResult result = f.run(StatusJob::ExportText);
        QVERIFY(result.ok);
        QVERIFY(result.message.isEmpty());
        const QString path = f.context.exportsFolder + QStringLiteral("/ondrolist.txt");
        QCOMPARE(result.openPath, path);
        QCOMPARE(fileBytes(path), QByteArray("/cd/a.mp3\r\n/lib/b.mp3\r\n/cd/c.mp3\r\n"));
        QCOMPARE(f.progress.size(), 3);
        QVERIFY(qAbs(f.progress[0] - 33.3) < 0.05);
        QVERIFY(qAbs(f.progress[1] - 66.7) < 0.05);
        QCOMPARE(f.progress[2], 100.0);

        ScriptedPrompter prompter;
        StatusJobs::report(result, f.platform, prompter);
        QVERIFY(prompter.shown.isEmpty());
        QCOMPARE(f.platform.opened, QStringList{path});
    }

    void exportTextEmptyCatalogueOpensEmptyFile()
    {
        Fixture f;
        const StatusJobResult result = f.run(StatusJob::ExportText);
        QVERIFY(result.ok);
        QCOMPARE(fileBytes(result.openPath), QByteArray());
        QVERIFY(f.progress.isEmpty());
    }

    void exportTextUnwritable()
    {
        Fixture f;
        f.catalogue.append(track(QStringLiteral("/cd/a.mp3")), EntryOrigin::Own);
        writeBytes(f.context.exportsFolder, "a plain file where the folder should be");
        const StatusJobResult result = f.run(StatusJob::ExportText);
        QVERIFY(!result.ok);
        QCOMPARE(result.icon, Prompter::Icon::Critical);
        QVERIFY2(result.message.contains(f.context.exportsFolder + QStringLiteral("/ondrolist.txt")),
                 qPrintable(result.message));

        ScriptedPrompter prompter;
        StatusJobs::report(result, f.platform, prompter);
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown[0].icon, Prompter::Icon::Critical);
        QVERIFY(f.platform.opened.isEmpty());
    }
};

ONDRO_TEST_MAIN(StatusJobsTest)
#include "test_statusjobs.moc"
