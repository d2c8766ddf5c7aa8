#include "app/mainlayout.h"
#include "app/widgets/mainwindow.h"
#include "base/widgets/rowlist.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "base/settingsfile.h"
#include "base/platform/systempaths.h"
#include "testenv.h"
#include "testfiles.h"
#include "catalogrows.h"
#include "mainwindowwait.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <numeric>

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

TrackRecord scanned(const QString &filename)
{
    TrackRecord record;
    record.filename = filename;
    record.source = QStringLiteral("CD02");
    return record;
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
        QVERIFY(showLoaded(window));
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
        QVERIFY(showLoaded(window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Ondro 2000 - 2 files"));
        QCOMPARE(window.catalogue().origin(1), EntryOrigin::Own);
        QCOMPARE(window.catalogue().field(1, FieldFilename), QStringLiteral("/m/b.mp3"));

        auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
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
            QVERIFY(showLoaded(window));
            QCOMPARE(prompter.messages(),
                     QStringList{"An older Ondro configuration file was detected. Click OK to update."});
            QCOMPARE(prompter.shown.first().icon, Prompter::Icon::Information);
            QCOMPARE(window.currentSettings().coverPath, QStringLiteral("/old/covers"));
        }
        QVERIFY(QFile::exists(SettingsFile::oldPath()));
        QVERIFY(QFile::exists(SettingsFile::path()));
        prompter.shown.clear();
        Form2 again(prompter, platform, QString());
        QVERIFY(showLoaded(again));
        QVERIFY(prompter.shown.isEmpty());
        QCOMPARE(again.currentSettings().widths[6], 1600.f);
        QCOMPARE(again.currentSettings().widths[7], Settings::defaults().widths[7]);
    }

    void libraryArgumentModes_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QStringList>("messages");
        // In the isolated home, which is removed when the test program ends.
        const QString dir = TestEnv::home() + QStringLiteral("/arguments");
        const QString text = dir + QStringLiteral("/notes.txt");
        writeBytes(text, "hello");
        const QString library = dir + QStringLiteral("/lib.odl");
        writeBytes(library, "");
        QTest::newRow("missing library") << dir + QStringLiteral("/gone.odl")
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
        QVERIFY(showLoaded(window));
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
        QVERIFY(showLoaded(window));
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
        QCOMPARE(entries, (QStringList{"&Email", "-", "&Remove", "-", "&Image Cover", "&Add to Mark Bin", "-", "Me&dium"}));

        auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
        QCOMPARE(list->model()->columnCount(), 14); // the nine, then the facts, hidden at first
        QVERIFY(!list->header()->isSectionHidden(0) && list->header()->isSectionHidden(9));
        QCOMPARE(list->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("coverimage"));
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        auto *bin = window.findChild<RowList *>(QStringLiteral("ListView2"));
        QCOMPARE(bin->model()->columnCount(), 8);
        QCOMPARE(bin->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Cover Image"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label4"))->text(), QStringLiteral("1"));
    }

    // A large catalogue is read and sorted on another core: a 1 ms timer
    // on the window's thread keeps firing meanwhile, the rows come in as
    // one change, and a key pressed during the sort changes nothing.
    void loadAndSortKeepTheWindowResponsive()
    {
        const qsizetype count = 300000;
        QVERIFY(CatalogueListFile::save(CatalogueListFile::defaultPath(), CatalogRows::generated(count)));
        Form2 window(prompter, platform, QString());
        int insertions = 0, layoutChanges = 0;
        connect(&window.catalogue(), &QAbstractItemModel::rowsInserted, this, [&] { ++insertions; });
        connect(&window.catalogue(), &QAbstractItemModel::layoutChanged, this, [&] { ++layoutChanges; });
        int ticksWhileBusy = 0;
        qint64 longestGap = 0, lastTick = 0;
        QElapsedTimer clock;
        clock.start();
        QTimer ticker;
        ticker.setInterval(1);
        ticker.setTimerType(Qt::PreciseTimer);
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (window.isBusy()) {
                ++ticksWhileBusy;
                longestGap = std::max(longestGap, clock.elapsed() - lastTick);
            }
            lastTick = clock.elapsed();
        });
        ticker.start();

        QVERIFY(showLoaded(window));
        qInfo("load of %lld rows: %d timer ticks while busy, longest gap %lld ms", qlonglong(count), ticksWhileBusy,
              longestGap);
        QCOMPARE(window.catalogue().size(), count);
        QCOMPARE(insertions, 1);
        QVERIFY(ticksWhileBusy > 0);

        auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
        list->setCurrentIndex(list->model()->index(0, 0));
        ticksWhileBusy = 0;
        longestGap = 0;
        bool keySent = false;
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (window.isBusy() && !keySent) {
                keySent = true;
                QTest::keyClick(list, Qt::Key_Delete); // would ask to remove the entry
            }
        });
        QVERIFY(sortBy(window, list->header(), FieldArtist));
        qInfo("sort of %lld rows: %d timer ticks while busy, longest gap %lld ms", qlonglong(count), ticksWhileBusy,
              longestGap);
        QVERIFY(ticksWhileBusy > 0);
        QVERIFY(keySent);
        QCOMPARE(layoutChanges, 1);
        QCOMPARE(window.catalogue().size(), count);
        std::vector<qsizetype> shown{};
        shown.resize(size_t(count));
        std::iota(shown.begin(), shown.end(), 0);
        QVERIFY(stableSortOrder(window.catalogue().rows(), FieldArtist) == shown);
        QVERIFY(prompter.shown.isEmpty());
    }

    // Closing while the filter's pass still reads the catalogue: the pass
    // ends before the rows are freed (a crash, or a sanitizer's report,
    // before).
    void closingWhileTheFilterRunsEndsItsPassFirst()
    {
        QVERIFY(CatalogueListFile::save(CatalogueListFile::defaultPath(), CatalogRows::generated(300000)));
        auto window = std::make_unique<Form2>(prompter, platform, QString());
        QVERIFY(showLoaded(*window));
        auto *field = window->findChild<QLineEdit *>(QStringLiteral("txtFilter"));
        QVERIFY(field);
        field->setText(QStringLiteral("artist:/a.*b.*c/ or genre:rock"));
        window.reset();
        QVERIFY(prompter.shown.isEmpty());
    }

    void headerClickSortsAscendingEveryTime()
    {
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/c.mp3") + listRecord("/m/a.mp3") +
                                                        listRecord("/m/b.mp3"));
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        auto *header = window.findChild<RowList *>(QStringLiteral("ListView1"))->header();
        for (int click = 0; click < 2; ++click) {
            QVERIFY(sortBy(window, header, 0));
            QCOMPARE(window.catalogue().field(0, FieldFilename), QStringLiteral("/m/a.mp3"));
            QCOMPARE(window.catalogue().field(2, FieldFilename), QStringLiteral("/m/c.mp3"));
        }
    }

    void selectedRowPreviewsCover()
    {
        QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("cover.png"));
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(picture));
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/a.mp3", picture) + listRecord("/m/b.mp3") +
                                                        listRecord("/m/c.mp3", dir.filePath("gone.png")));
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
        auto *image1 = window.findChild<QLabel *>(QStringLiteral("Image1"));
        auto *image2 = window.findChild<QLabel *>(QStringLiteral("Image2"));
        auto *label2 = window.findChild<QLabel *>(QStringLiteral("Label2"));
        const auto click = [&](int row) {
            const QModelIndex index = list->model()->index(row, 0);
            list->setCurrentIndex(index);
            Q_EMIT list->clicked(index);
        };
        click(0); // read off the window's thread, then kept
        QTRY_VERIFY(image1->isVisible() && image2->isVisible());
        QCOMPARE(label2->text(), picture);
        click(1);
        QVERIFY(!image1->isVisible() && !image2->isVisible());
        QCOMPARE(label2->text(), QString());
        click(0);
        QVERIFY(image1->isVisible());
        click(2); // a missing picture hides the preview, Label2 keeps its path
        QVERIFY(image1->isVisible()); // until it is found missing: the window does not wait
        QTRY_VERIFY(!image1->isVisible());
        QCOMPARE(label2->text(), picture);
        QTest::keyClick(list, Qt::Key_Up); // the arrow keys move the preview as a click does
        QCOMPARE(label2->text(), QString());
        QTest::keyClick(list, Qt::Key_Up);
        QVERIFY(image1->isVisible());
        QCOMPARE(label2->text(), picture);
    }

    void layoutFollowsResizeAndResetWindow()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        const double dpi = window.logicalDpiX();
        const QSize frame = window.frameGeometry().size() - window.size(); // the rules use the outer size
        window.resize(twipsToPixels(12000, dpi) - frame.width(), twipsToPixels(11000, dpi) - frame.height());
        QCoreApplication::processEvents();
        auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
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

    // The list is a table, but its keys are a list's: Home and End go to the
    // first and last entry, Tab leaves it; its rows grow with the font.
    void listKeysAndRowHeight()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        window.catalogue().appendRows(CatalogRows::scannedWithFacts(50));
        auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
        list->setFocus();
        list->setCurrentIndex(list->model()->index(20, 2));
        for (const auto &[key, row] : {std::pair{Qt::Key_End, 49}, std::pair{Qt::Key_Home, 0}}) {
            QTest::keyClick(list, key);
            QCOMPARE(list->currentIndex().row(), row);
        }
        QTest::keyClick(list, Qt::Key_Tab);
        QTRY_VERIFY(!list->hasFocus());
        const int before = list->rowHeight(0);
        QFont larger = list->font();
        larger.setPointSizeF(larger.pointSizeF() * 2);
        list->setFont(larger);
        QVERIFY(list->rowHeight(0) > before);
    }

    // At the first size the count under the narrow filter box wraps: cut
    // at the box's edge, "100000 of 100000 shown" would read as another count.
    void countWholeAtFirstSize()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        window.catalogue().appendRows(CatalogRows::scannedWithFacts(100000));
        auto *label = window.findChild<QLabel *>(QStringLiteral("lblShown"));
        QTRY_COMPARE(label->text(), QStringLiteral("100000 of 100000 shown"));
        QCoreApplication::processEvents();
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width()
                     || (label->wordWrap() && label->heightForWidth(label->width()) <= label->height()),
                 qPrintable(QStringLiteral("%1x%2").arg(label->width()).arg(label->height())));
    }

    void aboutHomepageOpensThroughTheShell()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        action(window, "mnuAboutWebpage")->trigger();
        QCOMPARE(platform.opened.size(), 1);
        QVERIFY(platform.opened.first().startsWith(QStringLiteral("https://")));
    }

    // A list file that exists but cannot be read is named with the reason
    // and never saved over; a damaged one keeps its whole records and may
    // be replaced.
    void listFileThatCannotBeReadIsNeverSavedOver()
    {
        QVERIFY(QDir().mkpath(CatalogueListFile::defaultPath())); // a folder where the file belongs
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown[0].icon, Prompter::Icon::Critical);
        QVERIFY2(prompter.shown[0].text.contains(CatalogueListFile::defaultPath()), qPrintable(prompter.shown[0].text));
        window.catalogue().append(scanned(QStringLiteral("/cd/new.mp3")), EntryOrigin::Own);
        action(window, "Save")->trigger();
        QCOMPARE(prompter.shown.size(), 2);
        QCOMPARE(prompter.shown[1].icon, Prompter::Icon::Critical);
        QVERIFY(prompter.shown[1].text.contains(QStringLiteral("Nothing was saved")));
        QVERIFY(QFileInfo(CatalogueListFile::defaultPath()).isDir());
        QVERIFY(!QFile::exists(SettingsFile::path()));
    }

    void damagedListFileLoadsItsWholeRecords()
    {
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/a.mp3") + "/m/cut.mp3\r\nCD01\r\n");
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        QCOMPARE(window.catalogue().size(), 1);
        QCOMPARE(prompter.shown.size(), 1);
        QVERIFY2(prompter.shown[0].text.contains(QStringLiteral(" 1 ")), qPrintable(prompter.shown[0].text));
        action(window, "Save")->trigger();
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(fileBytes(CatalogueListFile::defaultPath()), listRecord("/m/a.mp3"));
    }

    void saveAsksBeforeReplacingAListChangedOnDisk_data()
    {
        QTest::addColumn<bool>("removed"); // else changed by another program
        QTest::addColumn<int>("answer");   // -1: no question expected
        QTest::addColumn<bool>("replaced");
        QTest::newRow("changed, yes") << false << int(Prompter::Answer::Yes) << true;
        QTest::newRow("changed, no") << false << int(Prompter::Answer::No) << false;
        QTest::newRow("removed: nothing to lose") << true << -1 << true;
    }

    void saveAsksBeforeReplacingAListChangedOnDisk()
    {
        QFETCH(bool, removed);
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/a.mp3"));
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        action(window, "Save")->trigger(); // unchanged on disk: no question
        QVERIFY(prompter.shown.isEmpty());
        const QByteArray other = listRecord("/m/a.mp3") + listRecord("/m/from-the-shell.mp3");
        if (removed)
            QVERIFY(QFile::remove(CatalogueListFile::defaultPath()));
        else
            writeBytes(CatalogueListFile::defaultPath(), other);
        if (answer >= 0)
            prompter.answers.enqueue(Prompter::Answer(answer));
        action(window, "Save")->trigger();
        const qsizetype questions = answer >= 0 ? 1 : 0;
        QCOMPARE(prompter.shown.size(), questions);
        if (questions) {
            QCOMPARE(prompter.shown[0].icon, Prompter::Icon::Warning);
            QCOMPARE(prompter.shown[0].buttons, Prompter::Buttons::YesNo);
        }
        QCOMPARE(fileBytes(CatalogueListFile::defaultPath()) == listRecord("/m/a.mp3"), replaced);
        if (replaced) { // saved now: the next Save asks nothing
            action(window, "Save")->trigger();
            QCOMPARE(prompter.shown.size(), questions);
        }
    }

    void closingAChangedCatalogueAsksToSave_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer"); // -1: no question expected
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("savedRows"); // rows in the list file afterwards
        QTest::newRow("unchanged closes at once") << false << -1 << true << 1;
        QTest::newRow("save") << true << int(Prompter::Answer::Save) << true << 2;
        QTest::newRow("discard") << true << int(Prompter::Answer::Discard) << true << 1;
        QTest::newRow("cancel") << true << int(Prompter::Answer::Cancel) << false << 1;
    }

    void closingAChangedCatalogueAsksToSave()
    {
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QFETCH(int, savedRows);
        writeBytes(CatalogueListFile::defaultPath(), listRecord("/m/a.mp3"));
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        window.catalogue().append(scanned(QStringLiteral("/lib/x.mp3")), EntryOrigin::Library); // never counts
        if (changed)
            window.catalogue().append(scanned(QStringLiteral("/cd/new.mp3")), EntryOrigin::Own);
        if (answer >= 0)
            prompter.answers.enqueue(Prompter::Answer(answer));
        action(window, "mnuFilesClose")->trigger();
        QCOMPARE(prompter.shown.size(), answer >= 0 ? 1 : 0);
        if (answer >= 0)
            QCOMPARE(prompter.shown[0].buttons, Prompter::Buttons::SaveDiscardCancel);
        QCOMPARE(window.isVisible(), !closes);
        QCOMPARE(CatalogueListFile::read(CatalogueListFile::defaultPath()).rows.size(), savedRows);
    }

    void closeStaysOpenWhenTheSaveIsRefused()
    {
        QVERIFY(QDir().mkpath(CatalogueListFile::defaultPath()));
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        window.catalogue().append(scanned(QStringLiteral("/cd/new.mp3")), EntryOrigin::Own);
        prompter.answers.enqueue(Prompter::Answer::Save);
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
    }

    void hugeSettingsWidthKeepsItsColumn()
    {
        writeBytes(SettingsFile::path(), "VERSION=2.6\r\nWIDTH3=" + QByteArray(40, '9') + "\r\n");
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        auto *header = window.findChild<RowList *>(QStringLiteral("ListView1"))->header();
        QVERIFY(!header->isSectionHidden(2));
        QVERIFY(header->sectionSize(2) > 0);
        QVERIFY(header->sectionSize(2) <= window.screen()->availableGeometry().width());
    }

    void f3WithoutFindDoesNothing()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
        QTest::keyClick(list, Qt::Key_F3);
        QVERIFY(prompter.shown.isEmpty());
    }
};

ONDRO_TEST_MAIN(MainWindowTest)
#include "test_mainwindow_gui.moc"
