#include "app/mainlayout.h"
#include "app/widgets/mainwindow.h"
#include "store/cataloguelistfile.h"
#include "store/cataloguemodel.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "store/settingsfile.h"
#include "store/platform/systempaths.h"
#include "testenv.h"
#include "testfiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>

namespace {

QByteArray listRecord(const QString &filename, const QString &cover = {})
{
    return (filename + QStringLiteral("\r\nCD01\r\nArtist\r\nTrack\r\nAlbum\r\n1999\r\nRock\r\n") + cover +
            QStringLiteral("\r\n\r\n\r\n\r\n"))
        .toUtf8();
}

QAction *action(QWidget &window, const char *name)
{
    return window.findChild<QAction *>(QLatin1String(name));
}

bool enabled(QWidget &window, const char *name)
{
    if (auto *button = window.findChild<QToolButton *>(QLatin1String(name)))
        return button->isEnabled();
    return action(window, name)->isEnabled();
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
    ScriptedPrompter prompter;
    RecordingPlatform platform;

private Q_SLOTS:
    void init()
    {
        QDir(SystemPaths::windowsDirectory()).removeRecursively();
        prompter = ScriptedPrompter();
        platform = RecordingPlatform();
    }

    void emptyDataFolderGivesEmptyCatalogue()
    {
        Form2 window(prompter, platform, QString());
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("Ondro 2000 - 0 files"));
        QCOMPARE(window.startupMode(), StartupMode::Normal);
        QVERIFY(prompter.shown.isEmpty());
        QVERIFY(!QFile::exists(SettingsFile::path())); // nothing written at start
    }

    void loadsListFileAndSettings()
    {
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/a.mp3") + listRecord("/m/b.mp3"));
        writeBytes(SettingsFile::path(), "VERSION=2.6\r\nCOVERPATH=/covers\r\nWIDTH2=0\r\nWIDTH3=2880\r\n");
        Form2 window(prompter, platform, QString());
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("Ondro 2000 - 2 files"));
        QCOMPARE(window.catalogue().origin(1), EntryOrigin::Own);
        QCOMPARE(window.catalogue().field(1, FieldFilename), QStringLiteral("/m/b.mp3"));

        auto *list = window.findChild<QTreeView *>(QStringLiteral("ListView1"));
        QVERIFY(list->header()->isSectionHidden(1));
        QCOMPARE(list->header()->sectionSize(2), twipsToPixels(2880, window.logicalDpiX()));
        const Settings now = window.currentSettings();
        QCOMPARE(now.coverPath, QStringLiteral("/covers"));
        QCOMPARE(now.widths[2], 2880.f);
        QCOMPARE(now.widths[0], Settings::defaults().widths[0]); // unchanged widths keep their twips
    }

    void migratesOlderSettingsOnce()
    {
        writeBytes(SettingsFile::oldPath(), "old\r\n/old/covers\r\n1000,1100,1200,1300,1400,1500,1600,1700\r\n");
        {
            Form2 window(prompter, platform, QString());
            window.show();
            QCOMPARE(prompter.messages(),
                     QStringList{"An older Ondro configuration file was detected. Click OK to update."});
            QCOMPARE(prompter.shown.first().icon, Prompter::Icon::Information);
            QCOMPARE(window.currentSettings().coverPath, QStringLiteral("/old/covers"));
        }
        QVERIFY(QFile::exists(SettingsFile::oldPath()));
        QVERIFY(QFile::exists(SettingsFile::path()));
        prompter.shown.clear();
        Form2 again(prompter, platform, QString());
        again.show();
        QVERIFY(prompter.shown.isEmpty());
        QCOMPARE(again.currentSettings().widths[6], 1600.f);
        QCOMPARE(again.currentSettings().widths[7], Settings::defaults().widths[7]);
    }

    void libraryArgumentModes_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QStringList>("messages");
        QTemporaryDir *dir = new QTemporaryDir; // kept for the run
        const QString text = dir->filePath(QStringLiteral("notes.txt"));
        writeBytes(text, "hello");
        const QString library = dir->filePath(QStringLiteral("lib.odl"));
        writeBytes(library, "");
        QTest::newRow("missing library") << dir->filePath(QStringLiteral("gone.odl"))
                                         << QStringList{"You attempted to load an ODL that is not available"};
        QTest::newRow("text file") << text << QStringList{};
        QTest::newRow("library with trailing blanks") << library + QStringLiteral("   ") << QStringList{};
    }

    void libraryArgumentModes()
    {
        QFETCH(QString, argument);
        QFETCH(QStringList, messages);
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/a.mp3")); // not read in this mode
        Form2 window(prompter, platform, argument);
        window.show();
        QCOMPARE(window.startupMode(), StartupMode::Odl);
        QCOMPARE(prompter.messages(), messages);
        QCOMPARE(window.windowTitle(), QStringLiteral("Ondro 2000 - 0 files"));
        for (const char *name : {"Command2", "Command1", "Command5", "mnuMarkedLaunchAsPlaylist", "Save",
                                 "mnuFilesExportODL"})
            QVERIFY2(!enabled(window, name), name);
        QVERIFY(enabled(window, "Command8"));
        QVERIFY(enabled(window, "mnuFilesExportText"));
    }

    void toolBarAndMenus()
    {
        Form2 window(prompter, platform, QString());
        window.show();
        const QList<std::array<const char *, 3>> buttons = {
            {"Command2", "Save", "Save All data and Settings"}, {"Command5", "Scan", "Import Files from Media"},
            {"Command3", "Find", "Find"},                      {"Command4", "Find Again", "Find Next Occurance"},
            {"Command1", "Prepare", "Prep for Audio Burn"},    {"Command8", "Print", "Print Complete Index"},
            {"Command9", "Query", ""}};
        int lastLeft = -1;
        for (const auto &[name, caption, tip] : buttons) {
            auto *button = window.findChild<QToolButton *>(QLatin1String(name));
            QVERIFY2(button, name);
            QCOMPARE(button->text(), QLatin1String(caption));
            QCOMPARE(button->toolTip(), QLatin1String(tip));
            QVERIFY(!button->icon().isNull());
            QVERIFY(button->x() > lastLeft); // left to right in this order
            lastLeft = button->x();
        }

        QStringList bar;
        for (QAction *menu : window.menuBar()->actions())
            bar << menu->text();
        QCOMPARE(bar, (QStringList{"&Files", "&Options", "&Marked", "&About"}));
        QCOMPARE(action(window, "mnuFilesExportm3u")->text(), QStringLiteral("&m3u (tunepost Compatible)"));
        QVERIFY(!action(window, "mnuOptionsSettings")->isEnabled());
        QVERIFY(action(window, "mnuOptionsResetWindow")->isEnabled());

        auto *popup = window.findChild<QMenu *>(QStringLiteral("mnuHidden"));
        QVERIFY(popup);
        QVERIFY(!window.menuBar()->actions().contains(popup->menuAction()));
        QVERIFY(!action(window, "mnuHiddenEmail")->isEnabled());
        QStringList entries;
        for (QAction *a : popup->actions())
            entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(entries, (QStringList{"&Email", "-", "&Remove", "-", "&Image Cover", "&Add to Mark Bin"}));

        auto *list = window.findChild<QTreeView *>(QStringLiteral("ListView1"));
        QCOMPARE(list->model()->columnCount(), 9);
        QCOMPARE(list->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("coverimage"));
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        auto *bin = window.findChild<QTreeView *>(QStringLiteral("ListView2"));
        QCOMPARE(bin->model()->columnCount(), 8);
        QCOMPARE(bin->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Cover Image"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label4"))->text(), QStringLiteral("1"));
    }

    void headerClickSortsAscendingEveryTime()
    {
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/c.mp3") + listRecord("/m/a.mp3") +
                                                        listRecord("/m/b.mp3"));
        Form2 window(prompter, platform, QString());
        window.show();
        auto *header = window.findChild<QTreeView *>(QStringLiteral("ListView1"))->header();
        for (int click = 0; click < 2; ++click) {
            Q_EMIT header->sectionClicked(0);
            QCOMPARE(window.catalogue().field(0, FieldFilename), QStringLiteral("/m/a.mp3"));
            QCOMPARE(window.catalogue().field(2, FieldFilename), QStringLiteral("/m/c.mp3"));
        }
    }

    void rowClickPreviewsCover()
    {
        QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("cover.png"));
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(picture));
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/a.mp3", picture) + listRecord("/m/b.mp3") +
                                                        listRecord("/m/c.mp3", dir.filePath("gone.png")));
        Form2 window(prompter, platform, QString());
        window.show();
        auto *list = window.findChild<QTreeView *>(QStringLiteral("ListView1"));
        auto *image1 = window.findChild<QLabel *>(QStringLiteral("Image1"));
        auto *image2 = window.findChild<QLabel *>(QStringLiteral("Image2"));
        auto *label2 = window.findChild<QLabel *>(QStringLiteral("Label2"));
        const auto click = [&](int row) {
            const QModelIndex index = list->model()->index(row, 0);
            list->setCurrentIndex(index);
            Q_EMIT list->clicked(index);
        };
        click(0);
        QVERIFY(image1->isVisible() && image2->isVisible());
        QCOMPARE(label2->text(), picture);
        click(1);
        QVERIFY(!image1->isVisible() && !image2->isVisible());
        QCOMPARE(label2->text(), QString());
        click(0);
        click(2); // a missing picture hides the preview, Label2 keeps its path
        QVERIFY(!image1->isVisible());
        QCOMPARE(label2->text(), picture);
    }

    void layoutFollowsResizeAndResetWindow()
    {
        Form2 window(prompter, platform, QString());
        window.show();
        const double dpi = window.logicalDpiX();
        const QSize frame = window.frameGeometry().size() - window.size(); // the rules use the outer size
        window.resize(twipsToPixels(12000, dpi) - frame.width(), twipsToPixels(11000, dpi) - frame.height());
        QCoreApplication::processEvents();
        auto *list = window.findChild<QTreeView *>(QStringLiteral("ListView1"));
        QCOMPARE(list->width(), twipsToPixels(11505, dpi));

        window.resize(twipsToPixels(12000, dpi) - frame.width(), twipsToPixels(8000, dpi)); // below the minimum
        QCoreApplication::processEvents();
        QCOMPARE(window.frameGeometry().height(), twipsToPixels(9210, dpi));

        window.showMaximized();
        QCoreApplication::processEvents();
        window.resetWindow();
        QCoreApplication::processEvents();
        QVERIFY(!window.isMaximized());
        QCOMPARE(window.frameGeometry().size(), QSize(twipsToPixels(10860, dpi), twipsToPixels(9210, dpi)));
    }

    void aboutHomepageOpensThroughTheShell()
    {
        Form2 window(prompter, platform, QString());
        window.show();
        action(window, "mnuAboutWebpage")->trigger();
        QCOMPARE(platform.opened.size(), 1);
        QVERIFY(platform.opened.first().startsWith(QStringLiteral("https://")));
    }

    void f3WithoutFindDoesNothing()
    {
        Form2 window(prompter, platform, QString());
        window.show();
        auto *list = window.findChild<QTreeView *>(QStringLiteral("ListView1"));
        QTest::keyClick(list, Qt::Key_F3);
        QVERIFY(prompter.shown.isEmpty());
    }
};

ONDRO_TEST_MAIN(MainWindowTest)
#include "test_mainwindow_gui.moc"
