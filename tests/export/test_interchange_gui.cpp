// Files > Export's playlists and data files in the main window: which
// entries (asked only when the mark bin or the filter offers a choice),
// the file (its extension added, an existing one replaced only when the
// user says so), the export as the window's long work and its message.
#include "app/widgets/mainwindow.h"
#include "mainwindowwait.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"
#include "browse/markbin.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QAction>
#include <QTemporaryDir>

class InterchangeGuiTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void exportsFromTheMenu()
    {
        QVERIFY(CatalogueListFile::save(CatalogueListFile::defaultPath(),
                                        rowsOf({entryOf({QStringLiteral("/m/a.mp3"), QStringLiteral("CD01")}),
                                                entryOf({"/m/b.mp3", "CD01", "", "", "", "", "", "", "HDR-B"})})));
        ScriptedPrompter prompter;
        RecordingPlatform platform;
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        const auto run = [&](const char *name) {
            window.findChild<QAction *>(QLatin1String(name))->trigger();
            return QTest::qWaitFor([&] { return !window.isBusy(); }, 60000);
        };
        const auto records = [](const QString &path) { return fileBytes(path).count('\n'); };

        // Nothing marked, no filter: the whole catalogue, no question.
        const QString list = dir.filePath(QStringLiteral("list"));
        prompter.texts << list;
        QVERIFY(run("mnuFilesExportM3u8"));
        QCOMPARE(prompter.messages(), QStringList{list + QStringLiteral(".m3u8 was exported.")});
        QCOMPARE(records(list + QStringLiteral(".m3u8")), 5); // #EXTM3U and two lines each

        // Marked: the mark bin when asked for, into the file named.
        window.markBin().appendRows(MarkBin::copiesOf(window.catalogue().rows(), {1}));
        const QString csv = dir.filePath(QStringLiteral("marked.csv"));
        prompter.picks << QStringLiteral("&Mark Bin");
        prompter.texts << csv;
        QVERIFY(run("mnuFilesExportCsv"));
        // After the first export's save dialog and message:
        QCOMPARE(prompter.shown.at(2).captions,
                 (QStringList{QStringLiteral("Whole &Catalogue"), QStringLiteral("Rows &Shown"), QStringLiteral("&Mark Bin")}));
        QCOMPARE(records(csv), 2); // the header and the one marked
        QVERIFY(fileBytes(csv).contains("HDR-B")); // its catalogue entry's, which the bin does not hold

        // The same file again: kept when the user says No, replaced on Yes.
        prompter.picks << QStringLiteral("Whole &Catalogue");
        prompter.answers << Prompter::Answer::No;
        prompter.texts << csv;
        QVERIFY(run("mnuFilesExportCsv"));
        QCOMPARE(prompter.shown.last().text, csv + QStringLiteral(" already exists. Replace it?"));
        QCOMPARE(records(csv), 2);
        prompter.picks << QStringLiteral("Rows &Shown");
        prompter.answers << Prompter::Answer::Yes;
        prompter.texts << csv;
        QVERIFY(run("mnuFilesExportCsv"));
        QCOMPARE(records(csv), 3); // no filter: every row is shown

        // Cancelled at the question: nothing asked after it.
        const qsizetype asked = prompter.shown.size();
        prompter.picks << QString();
        QVERIFY(run("mnuFilesExportJsonl"));
        QCOMPARE(prompter.shown.size(), asked + 1);
        QVERIFY(window.findChild<QAction *>(QStringLiteral("mnuFilesExportXspf")));
    }
};

ONDRO_TEST_MAIN(InterchangeGuiTest)
#include "test_interchange_gui.moc"
