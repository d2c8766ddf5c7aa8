#include "app/widgets/mainwindow.h"
#include "export/exportflow.h"
#include "export/coverpage.h"
#include "export/libraryfile.h"
#include "export/widgets/libraryexportwindow.h"
#include "export/widgets/tunepostwindow.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"
#include "base/platform/association.h"
#include "base/platform/systempaths.h"
#include "base/widgets/qtprompter.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"
#include "mainwindowwait.h"
#include "widgetlookup.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

namespace {

RowStore twoOwnOneLibrary()
{
    return rowsOf({entryOf({QStringLiteral("/m/a.mp3"), QStringLiteral("CD01"), QStringLiteral("Band"),
                            QStringLiteral("Song")}),
                   entryOf({QStringLiteral("/lib/x.mp3"), QStringLiteral("LIB")}, EntryOrigin::Library),
                   entryOf({QStringLiteral("/m/Rock/b_c.mp3"), QStringLiteral("CD01")})});
}

void everyControlNamed(QWidget &window)
{
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
}

} // namespace

class LibraryGuiTest : public QObject
{
    Q_OBJECT
    ScriptedPrompter prompter;
    RecordingPlatform platform;
    QTemporaryDir dir;

private Q_SLOTS:
    void init()
    {
        prompter = ScriptedPrompter();
        platform = RecordingPlatform();
        QDir(SystemPaths::windowsDirectory()).removeRecursively();
        QDir(SystemPaths::exportsFolder()).removeRecursively();
    }

    void createLibraryDialog()
    {
        const RowStore rows = twoOwnOneLibrary();
        QString fileName;
        exODL dialog(rows, prompter, fileName);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Create Ondrolib"));
        QCOMPARE(child<QPlainTextEdit>(dialog, "Text2")->toPlainText().count(u'\n'), 4);
        everyControlNamed(dialog);

        const QString typed = dir.filePath(QStringLiteral("mine"));
        const QString path = typed + QStringLiteral(".odl");
        prompter.texts << typed << path << QString();
        QPushButton *create = child<QPushButton>(dialog, "Command3");
        create->click();
        QTRY_VERIFY(!dialog.isBusy()); // written off the window's thread
        QCOMPARE(prompter.messages(), QStringList{path + QStringLiteral(" was created.")});
        QCOMPARE(fileName, path); // the next dialog starts from it
        QVERIFY(dialog.isVisible());
        RowStore loaded;
        QVERIFY(LibraryFile::load(path, loaded));
        QCOMPARE(loaded.size(), 2); // own tracks only

        create->click(); // the same name again: refused
        QCOMPARE(prompter.messages().value(1),
                 path + QStringLiteral(" already exists. Please rename or delete before trying to create again."));
        QCOMPARE(prompter.shown.last().icon, Prompter::Icon::Warning);
        create->click(); // cancelled: nothing
        QCOMPARE(prompter.messages().size(), 2);
    }

    // The desktop's save dialog takes an existing name without asking:
    // Create makes its own test and names the file.
    void saveDialogAsksNoOverwriteQuestion()
    {
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        const QString taken = dir.filePath(QStringLiteral("taken.odl"));
        QVERIFY(writeBytes(taken, "already here"));
        bool asked = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTimer::singleShot(0, dialog, [&asked, dialog] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    asked = true;
                    box->reject();
                    QTimer::singleShot(0, dialog, &QDialog::reject);
                }
            });
            dialog->selectFile(taken);
            static_cast<QDialog *>(dialog)->accept(); // as the Save button does
        });
        QtPrompter qt;
        Prompter &desktop = qt;
        QCOMPARE(desktop.saveFileName(QStringLiteral("Create Ondrolib"), exODL::fileFilter()), taken);
        QVERIFY(!asked);
    }

    void tunepostDialog()
    {
        const RowStore rows = twoOwnOneLibrary();
        frmtunepost dialog(rows, prompter, platform);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("tunepost Compatible m3u Export"));
        everyControlNamed(dialog);
        for (int i = 0; i < 2; ++i) {
            child<QPushButton>(dialog, "Command1")->click();
            QTRY_VERIFY(!dialog.isBusy());
        }
        const QString file = SystemPaths::desktopFolder() + QStringLiteral("/tunepost-1.m3u");
        QCOMPARE(fileBytes(file), QByteArray("Band-Song.mp3\r\nm Rock-b c.mp3\r\n"));
        QListWidget *list = child<QListWidget>(dialog, "List1");
        QCOMPARE(list->count(), 2); // listed again below the first export
        QCOMPARE(list->item(1)->text(), file);
        QCOMPARE(prompter.messages(), (QStringList{QStringLiteral("Export complete."), QStringLiteral("Export complete.")}));
        QVERIFY(child<QPushButton>(dialog, "Command1")->isEnabled());

        child<QPushButton>(dialog, "Command3")->click();
        QCOMPARE(prompter.shown.last().title, QStringLiteral("HELP"));
        QVERIFY(prompter.shown.last().text.startsWith(
            QStringLiteral("This type of m32 'playlist' will not work with any MP3 player.  ")));
        child<QPushButton>(dialog, "Command4")->click();
        QCOMPARE(platform.opened, QStringList{frmtunepost::serviceAddress()});
    }

    void mainWindowCommands()
    {
        QVERIFY(CatalogueListFile::save(CatalogueListFile::defaultPath(), twoOwnOneLibrary()).ok);
        const QString library = dir.filePath(QStringLiteral("theirs.odl"));
        QVERIFY(LibraryFile::write(library, rowsOf({entryOf({QStringLiteral("/t/1.mp3"), {}, {}, {}, {}, {}, {},
                                                            QStringLiteral("/c/1.jpg")})}),
                                   LibraryFile::Content::Database)
                    .ok);
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("text.odl")), "not a library"));
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        QCOMPARE(window.catalogue().size(), 2);

        prompter.texts << library << dir.filePath(QStringLiteral("text.odl"));
        for (int i = 0; i < 2; ++i) {
            window.findChild<QAction *>(QStringLiteral("mnuFilesLoadODL"))->trigger();
            QTRY_VERIFY(!window.isBusy());
        }
        QCOMPARE(prompter.messages().size(), 2);
        QCOMPARE(prompter.messages().at(0), QStringLiteral("Library loaded"));
        const QStringList problem = prompter.messages().at(1).split(QStringLiteral("\n\n"));
        QCOMPARE(problem.size(), 2);
        QCOMPARE(problem.at(0), QStringLiteral("There was a problem loading the library. Some records may not be shown."));
        QVERIFY2(problem.at(1).startsWith(QStringLiteral("not a library")), qPrintable(problem.at(1)));
        QCOMPARE(prompter.shown.at(0).icon, Prompter::Icon::None);
        QCOMPARE(window.catalogue().size(), 3);
        QCOMPARE(window.catalogue().origin(2), EntryOrigin::Library);
        QCOMPARE(window.catalogue().field(2, FieldCoverImage), QString()); // covers never read

        prompter.shown.clear();
        QAction *access = window.findChild<QAction *>(QStringLiteral("mnuFilesExportAccess"));
        for (int i = 0; i < 2; ++i) {
            access->trigger();
            QTRY_VERIFY(!window.isBusy());
        }
        const QString database = ExportFlow::targetIn(ExportFlow::Kind::Database, SystemPaths::exportsFolder());
        QCOMPARE(prompter.messages(),
                 (QStringList{database + QStringLiteral(" was exported."),
                              database + QStringLiteral(" already exists. Please rename or delete before trying to "
                                                        "export again.")}));
        RowStore exported;
        QVERIFY(LibraryFile::load(database, exported));
        QCOMPARE(exported.size(), 3);

        window.findChild<QAction *>(QStringLiteral("mnuFilesExportCDCovers"))->trigger();
        QTRY_VERIFY(!window.isBusy());
        const QString page = ExportFlow::targetIn(ExportFlow::Kind::Covers, SystemPaths::exportsFolder());
        // These entries have no cover: no page, and the user is told why.
        QVERIFY(!CoverPage::hasCover(window.catalogue().rows()));
        QVERIFY(platform.opened.isEmpty());
        QVERIFY(!QFileInfo::exists(page));
        QCOMPARE(prompter.messages().last(), QStringLiteral("No entry has a cover image; the page was not written."));
        for (const char *name : {"mnuFilesExportODL", "mnuFilesExportm3u"})
            QVERIFY(window.findChild<QAction *>(QLatin1String(name))->isEnabled());
    }

    void startsWithLibraryAndRegistersReader()
    {
        const QString library = dir.filePath(QStringLiteral("start.ODL"));
        QVERIFY(LibraryFile::write(library, twoOwnOneLibrary(), LibraryFile::Content::Library).ok);
        platform.association = Association::notDetected();
        Form2 window(prompter, platform, library);
        QVERIFY(showLoaded(window));
        QCOMPARE(window.catalogue().size(), 2);
        QCOMPARE(window.catalogue().origin(0), EntryOrigin::Library);
        QCOMPARE(window.windowTitle(), QStringLiteral("Ondro 2000 - 2 files"));
        QVERIFY(!window.findChild<QAction *>(QStringLiteral("mnuFilesExportODL"))->isEnabled());
        QCOMPARE(prompter.messages(),
                 QStringList{QStringLiteral("No default ODL reader detected.  Ondro will be your ODL reader.")});
        QCOMPARE(platform.associationsMade, QStringList{QStringLiteral("odl ") + Association::ownProgramPath()});
    }
};

ONDRO_TEST_MAIN(LibraryGuiTest)
#include "test_library_gui.moc"
