#include "app/widgets/mainwindow.h"
#include "base/widgets/rowlist.h"
#include "browse/playlist.h"
#include "browse/queryresults.h"
#include "browse/widgets/burnwindow.h"
#include "browse/widgets/coverwindow.h"
#include "browse/widgets/querywindow.h"
#include "catalogrows.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"
#include "base/platform/systempaths.h"
#include "testenv.h"
#include "testfiles.h"
#include "mainwindowwait.h"
#include "widgetlookup.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace {

QStringList column(const QAbstractItemModel &model, int col)
{
    QStringList values;
    for (int r = 0; r < model.rowCount(); ++r)
        values << model.index(r, col).data().toString();
    return values;
}

// Runs check on the first modal window of type W once it is open.
template<typename W>
void whenOpen(QWidget &owner, std::function<void(W &)> check)
{
    QTimer::singleShot(0, &owner, [&owner, check] {
        if (W *w = owner.findChild<W *>())
            check(*w);
        else
            QTest::qFail("window did not open", __FILE__, __LINE__);
    });
}

// The controls of a shown window that have no accessible name.
QStringList unnamedControls(QWidget &window)
{
    QStringList unnamed;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QAbstractItemView *>(w) ||
                             qobject_cast<QComboBox *>(w) || qobject_cast<QGroupBox *>(w) ||
                             qobject_cast<QProgressBar *>(w);
        if (control && w->accessibleName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            unnamed << w->objectName() + QLatin1Char(':') + QLatin1String(w->metaObject()->className());
    }
    return unnamed;
}

} // namespace

class BrowseGuiTest : public QObject
{
    Q_OBJECT
    ScriptedPrompter prompter;
    RecordingPlatform platform;
    std::unique_ptr<Form2> window;
    RowList *list = nullptr;

    // A shown main window whose catalogue holds paths (1-based positions
    // in the tests below).
    void open(const QStringList &paths, const QStringList &sources = {})
    {
        window = std::make_unique<Form2>(prompter, platform, QString());
        QVERIFY(showLoaded(*window));
        window->catalogue().appendRows(CatalogRows::fromPaths(paths, sources));
        list = child<RowList>(*window, "ListView1");
    }
    void select(std::initializer_list<int> positions)
    {
        for (int p : positions)
            list->selectionModel()->setCurrentIndex(list->model()->index(p - 1, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QList<int> selectedPositions() const
    {
        QList<int> rows;
        for (const QModelIndex &i : list->selectionModel()->selectedRows())
            rows << i.row() + 1;
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    void press(const char *name) { child<QToolButton>(*window, name)->click(); }
    void trigger(const char *name) { child<QAction>(*window, name)->trigger(); }
    QString label(const char *name) { return child<QLabel>(*window, name)->text(); }

private Q_SLOTS:
    void init()
    {
        prompter = ScriptedPrompter();
        platform = RecordingPlatform();
        QDir(SystemPaths::windowsDirectory()).removeRecursively();
    }
    void cleanup() { window.reset(); }

    void findAndFindAgain()
    {
        QStringList paths;
        for (int i = 1; i <= 10; ++i)
            paths << (i == 3 || i == 7 ? QStringLiteral("/m/My_Song_%1.mp3").arg(i) : QStringLiteral("/m/%1.mp3").arg(i));
        open(paths);
        prompter.texts.enqueue(QStringLiteral("my song"));
        press("Command3");
        QCOMPARE(prompter.shown.first().text, QStringLiteral("Find"));
        QCOMPARE(selectedPositions(), QList<int>{3});
        QCOMPARE(label("Label4"), QStringLiteral("4"));
        QCOMPARE(label("Label5"), QStringLiteral("my song"));
        QTest::keyClick(list, Qt::Key_F3);
        QCOMPARE(selectedPositions(), QList<int>{7}); // the earlier hit is deselected
        press("Command4");
        QCOMPARE(selectedPositions(), QList<int>{});
        QCOMPARE(prompter.messages(), QStringList{"Search Complete."});
        QCOMPARE(label("Label4"), QStringLiteral("1"));

        prompter.texts.enqueue(QString()); // a cancelled Find
        press("Command3");
        QCOMPARE(label("Label5"), QString());
        QCOMPARE(label("Label4"), QStringLiteral("1"));
        QTest::keyClick(list, Qt::Key_F3); // nothing without a text
        QCOMPARE(selectedPositions(), QList<int>{});
        press("Command4");
        QCOMPARE(selectedPositions(), QList<int>{1});
        press("Command4");
        QCOMPARE(selectedPositions(), QList<int>{2});
    }

    void queryListsMatchesOnce()
    {
        open({"/m/a.mp3", "/m/b.mp3", "/m/my_song.mp3"});
        window->catalogue().setField(2, FieldCoverImage, QStringLiteral("/covers/front.jpg"));
        window->catalogue().setExtension(2, "ondro:1 raw=my_s%F6ng.mp3"); // its name's bytes are Latin-1
        prompter.texts.enqueue(QStringLiteral("MY SONG"));
        platform.openResults << 2 << Platform::ShellHandedOver;
        prompter.answers.enqueue(Prompter::Answer::Yes);
        whenOpen<query>(*window, [&](query &q) {
            QCOMPARE(q.windowTitle(), QStringLiteral("Ondro Query - 1 Matches"));
            const QAbstractItemModel &m = *q.results();
            QCOMPARE(m.columnCount(), 9);
            QCOMPARE(m.headerData(7, Qt::Horizontal).toString(), QStringLiteral("CoverImage"));
            QCOMPARE(column(m, 0), QStringList{"/m/my_song.mp3"});
            QCOMPARE(column(m, 7), QStringList{"/covers/front.jpg"});
            QCOMPARE(column(m, 8), QStringList{""}); // the audio header is never shown
            auto *results = child<QTreeView>(q, "ListView1");
            results->selectionModel()->select(m.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            child<QAction>(q, "queryPlay")->trigger();
            q.accept();
        });
        press("Command9");
        QCOMPARE(platform.opened, (QStringList{"file:///m/my_s%F6ng.mp3", "file:///m/my_s%F6ng.mp3"}));
        QCOMPARE(prompter.messages(), QStringList{"Error launching MP3 player on this file.  Try again?"});
    }

    // Enter on a result opens its details over the query, as in the main list.
    void queryEnterOpensDetails()
    {
        open({"/m/a.mp3", "/m/b.mp3"});
        prompter.texts.enqueue(QStringLiteral("b.mp3"));
        QString opened;
        whenOpen<query>(*window, [&](query &q) {
            auto *results = child<QTreeView>(q, "ListView1");
            results->setCurrentIndex(q.results()->index(0, 0));
            QTimer::singleShot(0, &q, [&] {
                if (QWidget *details = QApplication::activeModalWidget(); details && details != &q) {
                    opened = details->windowTitle();
                    details->close();
                }
            });
            QTest::keyClick(results, Qt::Key_Return);
            q.accept();
        });
        press("Command9");
        QCOMPARE(opened, QStringLiteral("/m/b.mp3"));
    }

    void queryCancelAndNoMatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("cancelled") << QString() << "Query cancelled.";
        QTest::newRow("underscore") << "my_song" << "No matches found.";
        QTest::newRow("a query that does not parse") << "artst:song" << "Unknown field \"artst\" at 1";
    }
    void queryCancelAndNoMatch()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        open({"/m/my_song.mp3"});
        prompter.texts.enqueue(text);
        press("Command9");
        QCOMPARE(prompter.messages(), QStringList{message});
        QCOMPARE(prompter.shown.last().icon, Prompter::Icon::Critical);
        QCOMPARE(prompter.shown.size(), 2); // one prompt, one message
        QVERIFY(!window->findChild<query *>() || !window->findChild<query *>()->isVisible());
    }

    void querySortsByColumn()
    {
        open({"/m/x1.mp3", "/m/x2.mp3", "/m/x3.mp3", "/m/y.mp3"}, {"CD3", "CD1", "CD2", "CD4"});
        prompter.texts.enqueue(QStringLiteral("-source:cd4")); // a query, not a path
        whenOpen<query>(*window, [&](query &q) {
            child<QTreeView>(q, "ListView1")->header()->sectionClicked(1);
            QCOMPARE(column(*q.results(), 1), (QStringList{"CD1", "CD2", "CD3"}));
            QCOMPARE(window->catalogue().field(0, FieldSource), QStringLiteral("CD3")); // catalogue unchanged
            q.accept();
        });
        press("Command9");
    }

    void markBinAddRemoveClear()
    {
        QStringList paths;
        for (int i = 1; i <= 10; ++i)
            paths << QStringLiteral("/m/%1.mp3").arg(i);
        open(paths);
        select({9, 2, 5});
        trigger("mnuHiddenMark");
        QCOMPARE(column(window->markBin(), 0), (QStringList{"/m/2.mp3", "/m/5.mp3", "/m/9.mp3"}));

        prompter.answers.enqueue(Prompter::Answer::No);
        trigger("mnuhiddenRemove");
        QCOMPARE(window->catalogue().size(), qsizetype(10));
        prompter.answers.enqueue(Prompter::Answer::Yes);
        trigger("mnuhiddenRemove");
        QCOMPARE(prompter.shown.last().text,
                 QStringLiteral("Are you sure you want to delete this entries from the records? (It will not delete "
                                "the files)"));
        QCOMPARE(prompter.shown.last().buttons, Prompter::Buttons::YesNo);
        QCOMPARE(column(window->catalogue(), 0).size(), 7);
        QVERIFY(!column(window->catalogue(), 0).contains(QStringLiteral("/m/5.mp3")));
        QCOMPARE(window->windowTitle(), QStringLiteral("Ondro 2000 - 7 files"));
        QCOMPARE(window->markBin().size(), qsizetype(3)); // bin rows stay

        trigger("mnuMarkedLaunchAsPlaylist");
        QCOMPARE(platform.opened, QStringList{Playlist::path()});
        QCOMPARE(fileBytes(Playlist::path()), QByteArray("/m/2.mp3\r\n/m/5.mp3\r\n/m/9.mp3\r\n"));
        // Delete in the bin takes out only its selected entries.
        auto *bin = child<RowList>(*window, "ListView2");
        for (int row : {0, 2})
            bin->selectionModel()->select(bin->model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        bin->setFocus();
        QTest::keyClick(bin, Qt::Key_Delete);
        QCOMPARE(column(window->markBin(), 0), QStringList{"/m/5.mp3"});
        QCOMPARE(window->catalogue().size(), qsizetype(7));

        trigger("mnuMarkedClear");
        trigger("mnuMarkedLaunchAsPlaylist");
        QCOMPARE(fileBytes(Playlist::path()), QByteArray());
    }

    // The filter shows some rows; commands on the selection take those
    // rows, Find reaches a hidden one by showing all, and a query saved
    // under a name comes back from the drop-down.
    void filterAndSavedQueries()
    {
        QStringList paths;
        for (int i = 1; i <= 10; ++i)
            paths << (i == 3 || i == 7 ? QStringLiteral("/m/My_Song_%1.mp3").arg(i) : QStringLiteral("/m/%1.mp3").arg(i));
        open(paths);
        auto *field = child<QLineEdit>(*window, "txtFilter");
        field->setText(QStringLiteral("SONG"));
        QTRY_COMPARE(list->model()->rowCount(), 2);
        QCOMPARE(label("lblShown"), QStringLiteral("2 of 10 shown"));
        select({2});
        trigger("mnuHiddenMark");
        QCOMPARE(column(window->markBin(), 0), QStringList{"/m/My_Song_7.mp3"});
        prompter.answers.enqueue(Prompter::Answer::Yes);
        trigger("mnuhiddenRemove");
        QTRY_COMPARE(label("lblShown"), QStringLiteral("1 of 9 shown"));

        prompter.texts.enqueue(QStringLiteral("Songs"));
        QMenu *menu = child<QToolButton>(*window, "cmdQueries")->menu();
        Q_EMIT menu->aboutToShow();
        menu->findChild<QAction *>(QStringLiteral("mnuSaveQuery"))->trigger();
        const QString saved = QFileInfo(CatalogueListFile::defaultPath()).absolutePath() + QStringLiteral("/queries.json");
        QVERIFY(fileBytes(saved).contains("\"Songs\""));

        prompter.texts.enqueue(QStringLiteral("8"));
        press("Command3"); // Find: row 8 is hidden, so every row is shown
        QCOMPARE(field->text(), QString());
        QCOMPARE(list->model()->rowCount(), 9);
        QCOMPARE(selectedPositions(), QList<int>{7});

        Q_EMIT menu->aboutToShow();
        const QList<QAction *> actions = menu->actions();
        const auto songs = std::find_if(actions.begin(), actions.end(), [](QAction *a) { return a->text() == u"Songs"; });
        QVERIFY(songs != actions.end());
        (*songs)->trigger();
        QCOMPARE(field->text(), QStringLiteral("SONG"));
        QTRY_COMPARE(list->model()->rowCount(), 1);
    }

    // A query that does not parse keeps the last good rows and says so;
    // Escape empties the box, a second gives the list the focus; Down
    // reaches the list's first row; "@name" runs a saved query.
    void filterMessagesAndKeys()
    {
        open({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
        auto *field = child<QLineEdit>(*window, "txtFilter");
        field->setText(QStringLiteral("-b.mp3"));
        QTRY_COMPARE(list->model()->rowCount(), 2);
        field->setText(QStringLiteral("artst:b"));
        QCOMPARE(label("lblShown"), QStringLiteral("Unknown field \"artst\" at 1 \u2014 showing the last good filter's 2 rows"));
        QCOMPARE(list->model()->rowCount(), 2);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(field->text(), QString());
        QCOMPARE(window->focusWidget(), field);
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(window->focusWidget(), list);

        const QString saved = QFileInfo(CatalogueListFile::defaultPath()).absolutePath() + QStringLiteral("/queries.json");
        QVERIFY(writeBytes(saved, R"({"queries":[{"name":"not b","query":"-b.mp3"}]})"));
        field->setText(QStringLiteral("@not b"));
        QTRY_COMPARE(list->model()->rowCount(), 2);
        field->setText(QStringLiteral("@none"));
        QVERIFY(label("lblShown").startsWith(QStringLiteral("There is no saved query named \"none\".")));
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Down);
        QCOMPARE(window->focusWidget(), list);
        QCOMPARE(selectedPositions(), QList<int>{1});
    }

    // Saving under a name in use asks first; Rename refuses a name in use;
    // Delete asks.
    void savedQueriesManaged()
    {
        open({"/m/a.mp3"});
        const QString saved = QFileInfo(CatalogueListFile::defaultPath()).absolutePath() + QStringLiteral("/queries.json");
        QVERIFY(writeBytes(saved, R"({"queries":[{"name":"a","query":"x"},{"name":"b","query":"y"}]})"));
        child<QLineEdit>(*window, "txtFilter")->setText(QStringLiteral("z"));
        QMenu *menu = child<QToolButton>(*window, "cmdQueries")->menu();
        const auto pick = [&](const char *submenu, const QString &name) {
            Q_EMIT menu->aboutToShow();
            for (QAction *a : menu->findChild<QAction *>(QLatin1String(submenu))->menu()->actions())
                if (a->text() == name)
                    return a->trigger();
            QFAIL("no such query in the menu");
        };
        const auto names = [&] { return QString::fromUtf8(fileBytes(saved)); };
        for (const Prompter::Answer answer : {Prompter::Answer::No, Prompter::Answer::Yes}) {
            prompter.texts.enqueue(QStringLiteral("a"));
            prompter.answers.enqueue(answer);
            Q_EMIT menu->aboutToShow();
            menu->findChild<QAction *>(QStringLiteral("mnuSaveQuery"))->trigger();
            QCOMPARE(prompter.shown.last().text, QStringLiteral("A saved query is already named \"a\" (x). Replace it?"));
        }
        QVERIFY(names().contains(QStringLiteral("{\"name\":\"a\",\"query\":\"z\"}")));
        prompter.texts.enqueue(QStringLiteral("b"));
        pick("mnuRenameQuery", QStringLiteral("a"));
        QVERIFY(prompter.messages().last().contains(QStringLiteral("a saved query is already named \"b\"")));
        prompter.texts.enqueue(QStringLiteral("c"));
        pick("mnuRenameQuery", QStringLiteral("a"));
        prompter.answers.enqueue(Prompter::Answer::Yes);
        pick("mnuDeleteQuery", QStringLiteral("b"));
        QCOMPARE(names(), QStringLiteral(R"({"queries":[{"name":"c","query":"z"}]})"));
    }

    void playlistThatCannotBeWritten()
    {
        open({"/m/a.mp3"});
        const QString documents = TestEnv::home() + QStringLiteral("/Documents");
        QDir(documents + QStringLiteral("/Ondro")).removeRecursively();
        writeBytes(documents + QStringLiteral("/Ondro"), "a plain file where the folder belongs");
        trigger("mnuMarkedLaunchAsPlaylist");
        QDir().remove(documents + QStringLiteral("/Ondro"));
        QVERIFY(platform.opened.isEmpty());
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY(prompter.messages().first().contains(QStringLiteral("ondrotemp.m3u")));
        QCOMPARE(prompter.shown.first().icon, Prompter::Icon::Critical);
    }

    void prepareFromTheMainWindow()
    {
        QTemporaryDir dir;
        writeBytes(dir.filePath(QStringLiteral("cd/a.mp3")), "aaa");
        writeBytes(dir.filePath(QStringLiteral("cd/b.mp3")), "bbb");
        open({dir.filePath(QStringLiteral("cd/a.mp3")), dir.filePath(QStringLiteral("cd/b.mp3"))}, {"CD01", "CD02"});
        press("Command1");
        QCOMPARE(prompter.messages(), QStringList{"You need marked items to prep"});
        QCOMPARE(prompter.shown.first().icon, Prompter::Icon::Warning);

        select({1, 2});
        trigger("mnuHiddenMark");
        prompter = ScriptedPrompter();
        prompter.texts.enqueue(QString()); // the folder chooser cancelled
        press("Command1");
        QCOMPARE(prompter.messages(), QStringList{});

        QDir().mkpath(dir.filePath(QStringLiteral("out")));
        prompter.texts.enqueue(dir.filePath(QStringLiteral("out")));
        prompter.answers << Prompter::Answer::Ok << Prompter::Answer::Ok;
        press("Command1");
        QCOMPARE(prompter.shown.at(1).text, QStringLiteral("Destination"));
        // The copying runs off the window's thread; the closing message ends it.
        QTRY_COMPARE(prompter.messages().last(),
                 "All 2 files were copied to " + QDir::toNativeSeparators(dir.filePath(QStringLiteral("out/"))));
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("out/b.mp3"))), QByteArray("bbb"));
    }

    void everyControlIsNamed()
    {
        open({});
        QCOMPARE(unnamedControls(*window), QStringList());
        QCOMPARE(list->accessibleName(), QStringLiteral("Catalogue"));
        QCOMPARE(child<QToolButton>(*window, "Command4")->accessibleName(), QStringLiteral("Find Again"));
        BurnProgress progress(prompter, window.get());
        progress.show();
        QCOMPARE(unnamedControls(progress), QStringList());
        Form3 cover(QString(), [](const QString &) { return false; }, prompter, window.get());
        cover.show();
        QCOMPARE(unnamedControls(cover), QStringList());
    }

    void coverAttachedToSelectedEntries()
    {
        QTemporaryDir dir;
        const QString covers = dir.filePath(QStringLiteral("covers"));
        QImage picture(40, 20, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QDir().mkpath(covers);
        QVERIFY(picture.save(covers + QStringLiteral("/FRONT.png")));
        writeBytes(covers + QStringLiteral("/notes.txt"), "not a picture");
        open({"/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/4.mp3"});
        select({4});
        trigger("mnuHiddenMark"); // a bin row made before the cover changes
        select({1, 2});

        whenOpen<Form3>(*window, [&](Form3 &d) {
            const auto closeOnFailure = qScopeGuard([&d] {
                if (d.isVisible()) // left open by a failed check
                    d.reject();
            });
            QCOMPARE(d.windowTitle(), QStringLiteral("Attach Image Cover to MP3 Track(s)"));
            child<QPushButton>(d, "Command1")->click();
            QCOMPARE(prompter.messages(), QStringList{"You must choose a graphic or 'cancel'."});
            QVERIFY(d.setFolder(covers));
            QVERIFY(d.chooseFile(QStringLiteral("notes.txt")));
            QVERIFY(!child<QLabel>(d, "Image1")->isVisible());
            QTest::keyClick(child<QListWidget>(d, "File1"), Qt::Key_Up); // to FRONT.png, by keyboard
            auto *image = child<QLabel>(d, "Image1");
            QVERIFY(image->isVisible());
            QCOMPARE(image->pixmap().width(), image->width()); // scaled to fit, 2:1 kept
            QCOMPARE(image->pixmap().height(), image->width() / 2);
            QTest::keyClick(child<QListWidget>(d, "File1"), Qt::Key_Return); // "&Ok" is the default
        });
        trigger("mnuHiddenImageCover");
        const QString expected = covers + QStringLiteral("/FRONT.png");
        QCOMPARE(column(window->catalogue(), FieldCoverImage),
                 (QStringList{expected, expected, "/covers/2.jpg", expected}));
        QCOMPARE(window->markBin().field(0, FieldCoverImage), QStringLiteral("/covers/3.jpg"));
        QCOMPARE(window->currentSettings().coverPath, covers);

        whenOpen<Form3>(*window, [&](Form3 &d) {
            QCOMPARE(d.folder(), covers); // reopened where the last cover was
            child<QPushButton>(d, "Command2")->click();
        });
        trigger("mnuHiddenImageCover");
    }
};

ONDRO_TEST_MAIN(BrowseGuiTest)
#include "test_browse_gui.moc"
