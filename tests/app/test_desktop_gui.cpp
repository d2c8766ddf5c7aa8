// How the windows behave on the desktop: elided paths, one row height, the
// sort arrow, shortcuts, the screen's bounds, what is remembered between runs.
#include "app/mainlayout.h"
#include "app/widgets/accessiblenames.h"
#include "app/widgets/desktopwindows.h"
#include "app/widgets/mainwindow.h"
#include "base/widgets/rowlist.h"
#include "browse/widgets/querywindow.h"
#include "media/widgets/scanwindow.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "catalogue/cataloguemodel.h"
#include "base/platform/statefile.h"
#include "base/platform/systempaths.h"
#include "testenv.h"
#include "trackrows.h"
#include "mainwindowwait.h"
#include "widgetlookup.h"

#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace {

RowStore tracks(const QStringList &paths)
{
    QList<CatalogueEntry> entries;
    for (const QString &path : paths)
        entries << entryOf({path, QStringLiteral("CD01"), QStringLiteral("Artist")});
    return rowsOf(entries);
}

QString longPath()
{
    return QStringLiteral("/media/cdrom/A very long artist name/An even longer album title (disc 1)/"
                          "01 - The first track.mp3");
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT
    ScriptedPrompter prompter;
    RecordingPlatform platform;

private Q_SLOTS:
    void init()
    {
        QDir(SystemPaths::windowsDirectory()).removeRecursively();
        QFile::remove(StateFile::path());
        prompter = ScriptedPrompter();
        platform = RecordingPlatform();
    }

    void captionsGetNoDisplayName()
    {
        DesktopWindows::setUpApplication();
        // An unset display name falls back to the application name; a set
        // one is what Qt appends to every caption.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("ondro"));
        QVERIFY(!QApplication::windowIcon().isNull());
    }

    void pathsElideInTheMiddleWithTheWholePathAsTooltip()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        window.catalogue().appendRows(tracks({longPath()}));
        window.markBin().appendRows(tracks({longPath()}));
        for (const char *name : {"ListView1", "ListView2"}) {
            auto *list = window.findChild<RowList *>(QLatin1String(name));
            QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
            QCOMPARE(list->model()->index(0, 0).data(Qt::ToolTipRole).toString(), longPath());
        }
        prompter.texts.enqueue(QStringLiteral("track"));
        query results(window.catalogue(), prompter, platform);
        auto *list = child<QTreeView>(results, "ListView1");
        QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
        QCOMPARE(list->model()->index(0, 0).data(Qt::ToolTipRole).toString(), longPath());
    }

    void rowsKeepTheirHeightAfterASortScrolledRight()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        window.catalogue().appendRows(tracks({QStringLiteral("/m/b.mp3"), QStringLiteral("/m/a.mp3")}));
        auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
        list->header()->resizeSection(0, 2000);
        QCoreApplication::processEvents();
        const int height = list->visualRect(list->model()->index(0, 0)).height();
        list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
        QVERIFY(list->horizontalScrollBar()->value() > 0);
        QVERIFY(sortBy(window, list->header(), 8));
        QCoreApplication::processEvents();
        QCOMPARE(list->visualRect(list->model()->index(0, 8)).height(), height);
    }

    void sortArrowOnlyWhileTheListIsInItsOrder()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        window.catalogue().appendRows(tracks({QStringLiteral("/m/c.mp3"), QStringLiteral("/m/a.mp3")}));
        QHeaderView *header = window.findChild<RowList *>(QStringLiteral("ListView1"))->header();
        QVERIFY(!header->isSortIndicatorShown()); // the saved order, not a sorted one

        QVERIFY(sortBy(window, header, 0));
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);

        window.catalogue().appendRows(tracks({QStringLiteral("/m/d.mp3")})); // still in order
        QVERIFY(header->isSortIndicatorShown());
        window.catalogue().appendRows(tracks({QStringLiteral("/m/b.mp3")})); // a scan out of order
        QVERIFY(!header->isSortIndicatorShown());
    }

    void emptyCatalogueShowsAHint()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        auto *hint = child<QLabel>(window, "emptyHint");
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(), QStringLiteral("No tracks yet: press Scan to add a medium."));
        window.catalogue().appendRows(tracks({QStringLiteral("/m/a.mp3")}));
        QVERIFY(!hint->isVisible());
        QVERIFY(child<QLabel>(window, "coverPlaceholder")->isVisible());
    }

    void shortcuts()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        const struct { const char *name; QKeySequence keys; } expected[] = {
            {"Save", QKeySequence(Qt::CTRL | Qt::Key_S)},     {"mnuFilesClose", QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {"mnuhiddenRemove", QKeySequence(Qt::Key_Delete)}, {"findAgainKey", QKeySequence(Qt::Key_F3)},
            {"selectAllKey", QKeySequence(Qt::CTRL | Qt::Key_A)}, {"listMenuKey", QKeySequence(Qt::SHIFT | Qt::Key_F10)},
        };
        for (const auto &e : expected)
            QCOMPARE(child<QAction>(window, e.name)->shortcut(), e.keys);
        QCOMPARE(child<QToolButton>(window, "Command3")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        QCOMPARE(child<QToolButton>(window, "Command8")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

        // Enter opens the details of the current entry, as a double click.
        window.catalogue().appendRows(tracks({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3")}));
        auto *list = child<RowList>(window, "ListView1");
        list->setCurrentIndex(list->model()->index(1, 0));
        QString opened;
        QTimer::singleShot(0, this, [&opened] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                opened = modal->windowTitle();
                modal->close();
            }
        });
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(opened, QStringLiteral("/m/b.mp3"));

        child<QAction>(window, "selectAllKey")->trigger();
        QCOMPARE(list->selectionModel()->selectedRows().size(), 2);

        // Keys go to the list from the start; Shift+F10 opens its pop-up menu.
        QCOMPARE(window.focusWidget(), list);
        child<QAction>(window, "listMenuKey")->trigger();
        auto *menu = child<QMenu>(window, "mnuHidden");
        QTRY_VERIFY(menu->isVisible());
        menu->close();
    }

    // A window's accessible name is its title as it stands now; captions
    // keep their blanks.
    void accessibleNamesFollowTitlesAndKeepBlanks()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        window.catalogue().appendRows(tracks({QStringLiteral("/m/a.mp3")}));
        window.setWindowTitle(QStringLiteral("Ondro 2000 - 1 files"));
        QCOMPARE(QAccessible::queryAccessibleInterface(&window)->text(QAccessible::Name),
                 QStringLiteral("Ondro 2000 - 1 files"));
        CatalogueModel catalogue;
        Form5 scan(catalogue, prompter, platform, &window);
        scan.show();
        QStringList frames;
        for (const QGroupBox *frame : scan.findChildren<QGroupBox *>())
            frames << frame->accessibleName();
        QVERIFY2(frames.contains(QStringLiteral(" Status ")), qPrintable(frames.join(QLatin1Char('|'))));
    }

    // A control is named by what a user reads: its caption, the label set
    // beside it, its tooltip, the frame it sits in, its role; never its
    // object name. A label still empty when shown is named by its text later.
    void controlsAreNamedAsAUserReadsThem()
    {
        QWidget window;
        auto *frame = new QGroupBox(QStringLiteral(" Status "), &window);
        auto *button = new QPushButton(QStringLiteral("&Scan"), &window);
        button->setToolTip(QStringLiteral("Scan the drive"));
        auto *field = new QLineEdit(&window);
        field->setToolTip(QStringLiteral("Tip"));
        (new QLabel(QStringLiteral("&Artist"), &window))->setBuddy(field);
        auto *tipped = new QComboBox(&window);
        tipped->setToolTip(QStringLiteral("Drive"));
        const struct { QWidget *widget; const char *name; } cases[] = {
            {button, "Scan"}, {field, "Artist"}, {tipped, "Drive"},
            {new QListView(&window), "List"}, {new QListView(frame), "Status"}, {frame, " Status "},
        };
        for (const auto &c : cases) {
            c.widget->setObjectName(QStringLiteral("Text2"));
            QCOMPARE(AccessibleNames::nameFor(*c.widget), QLatin1String(c.name));
        }
        auto *count = new QLabel(&window);
        count->setObjectName(QStringLiteral("LabelCount"));
        AccessibleNames::apply(*count);
        count->setText(QStringLiteral("Files imported: 3"));
        QCOMPARE(QAccessible::queryAccessibleInterface(count)->text(QAccessible::Name), count->text());
    }

    // Every entry of the menu bar's menus has an access key of its own.
    void menuEntriesHaveDistinctAccessKeys()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        QList<QMenu *> menus;
        for (QAction *top : window.menuBar()->actions())
            menus << top->menu();
        while (!menus.isEmpty()) {
            QMenu *menu = menus.takeFirst();
            QStringList keys;
            for (QAction *action : menu->actions()) {
                if (action->isSeparator() || !action->isVisible())
                    continue;
                if (action->menu())
                    menus << action->menu();
                const QString key = QKeySequence::mnemonic(action->text()).toString();
                QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(menu->title() + QLatin1String(": ") + action->text()));
                keys << key;
            }
        }
    }

    // The test runs at twice the scale: the 800 x 800 screen is 400 x 400,
    // lower than the main window's usual minimum height.
    void windowsFitTheScreen()
    {
        Form2 window(prompter, platform, QString());
        QVERIFY(showLoaded(window));
        const QRect area = DesktopWindows::availableArea(&window);
        QVERIFY(area.height() < twipsToPixels(9210, window.logicalDpiY()));
        QVERIFY(window.minimumHeight() <= area.height());
        QVERIFY(area.contains(window.frameGeometry()));

        CatalogueModel catalogue;
        Form5 scan(catalogue, prompter, platform, &window);
        scan.show();
        QVERIFY(area.contains(scan.frameGeometry()));
    }

    void mainWindowGeometryIsRememberedWhereItFits()
    {
        const QRect area = DesktopWindows::availableArea(nullptr);
        QRect placed;
        {
            Form2 window(prompter, platform, QString());
            QVERIFY(showLoaded(window));
            window.setGeometry(area.left() + 10, area.top(), area.width() - 40, window.minimumHeight());
            QCoreApplication::processEvents(); // as the window system placed it
            placed = window.geometry();
            QVERIFY(window.close());
        }
        QCOMPARE(StateFile::mainWindowGeometry(), placed);
        {
            Form2 again(prompter, platform, QString());
            QVERIFY(showLoaded(again));
            QCOMPARE(again.geometry(), placed);
            again.showMaximized();
            QVERIFY(again.close());
        }
        {
            Form2 maximised(prompter, platform, QString());
            QVERIFY(showLoaded(maximised));
            QVERIFY(maximised.isMaximized());
            QCOMPARE(maximised.normalGeometry(), placed); // where un-maximising returns
            maximised.showNormal();
            QVERIFY(maximised.close());
        }
        QVERIFY(!StateFile::mainWindowMaximized());
        StateFile::setMainWindowGeometry(QRect(area.left(), area.top(), area.width() * 2, area.height()));
        Form2 tooWide(prompter, platform, QString());
        QVERIFY(showLoaded(tooWide));
        QVERIFY(area.contains(tooWide.frameGeometry()));
    }

    // A fact column shown from the header's menu sorts as a number and is
    // shown again, at its width, in the next run.
    void factColumnShownFromTheHeaderStaysShown()
    {
        int width = 0;
        {
            Form2 window(prompter, platform, QString());
            QVERIFY(showLoaded(window));
            RowStore rows;
            for (const char *line : {"ondro:1 kbps=320", "ondro:1 kbps=96"})
                rows.append(TrackRecord(), EntryOrigin::Own, line);
            window.catalogue().appendRows(std::move(rows));
            auto *list = window.findChild<RowList *>(QStringLiteral("ListView1"));
            QVERIFY(list->header()->isSectionHidden(10));
            window.findChild<QAction *>(QStringLiteral("mnuColumn_kbps"))->trigger();
            QVERIFY(!list->header()->isSectionHidden(10));
            QCOMPARE(list->model()->headerData(10, Qt::Horizontal).toString(), QStringLiteral("Bitrate"));
            list->header()->resizeSection(10, 90);
            width = list->header()->sectionSize(10);
            QVERIFY(sortBy(window, list->header(), 10));
            QCOMPARE(list->model()->index(0, 10).data().toString(), QStringLiteral("96 kbps"));
            prompter.answers.enqueue(Prompter::Answer::Discard);
            QVERIFY(window.close());
            QCOMPARE(StateFile::listColumns(),
                     QStringList{QStringLiteral("kbps=%1").arg(float(pixelsToTwips(width, window.logicalDpiX())))});
        }
        Form2 again(prompter, platform, QString());
        QVERIFY(showLoaded(again));
        QHeaderView *header = again.findChild<RowList *>(QStringLiteral("ListView1"))->header();
        QVERIFY(!header->isSectionHidden(10));
        QVERIFY(header->isSectionHidden(9));
        QVERIFY(header->sectionSize(10) >= width); // the last column fills the list's room
        QVERIFY(again.findChild<QAction *>(QStringLiteral("mnuColumn_kbps"))->isChecked());
        again.findChild<QAction *>(QStringLiteral("mnuColumn_kbps"))->trigger();
        QVERIFY(header->isSectionHidden(10));
        QVERIFY(again.close());
        QCOMPARE(StateFile::listColumns(), QStringList());
    }

    void scanOffersTheRememberedFolderAndStartsTheChooserThere()
    {
        QDir().mkpath(TestEnv::home() + QStringLiteral("/Music"));
        QTemporaryDir last;
        CatalogueModel catalogue;
        {
            Form5 scan(catalogue, prompter, platform);
            auto *drives = child<QComboBox>(scan, "Drive1");
            QVERIFY(drives->findData(QStringLiteral("/")) < 0); // the whole machine only by hand
            QVERIFY(drives->findData(QDir::cleanPath(TestEnv::home() + QStringLiteral("/Music"))) >= 0);
            prompter.texts.enqueue(last.path());
            Q_EMIT drives->activated(drives->count() - 1);
            QCOMPARE(prompter.shown.last().title, QDir::cleanPath(TestEnv::home() + QStringLiteral("/Music")));
        }
        QCOMPARE(StateFile::lastScanFolder(), QDir::cleanPath(last.path()));
        Form5 again(catalogue, prompter, platform);
        auto *drives = child<QComboBox>(again, "Drive1");
        QCOMPARE(drives->currentData().toString(), QDir::cleanPath(last.path()));
        prompter.texts.enqueue(QString());
        Q_EMIT drives->activated(drives->count() - 1);
        QCOMPARE(prompter.shown.last().title, QDir::cleanPath(last.path()));
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    TestEnv::isolate();
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    DesktopTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_desktop_gui.moc"
