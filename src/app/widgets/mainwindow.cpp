#include "app/widgets/mainwindow.h"
#include "base/widgets/rowlist.h"
#include "media/mediasession.h"

#include "browse/querymedia.h"
#include "media/mediasession.h"

#include "app/widgets/listcolumns.h"
#include "app/mainlayout.h"
#include "base/widgets/appicons.h"
#include "app/widgets/cataloguelistmodel.h"
#include "app/widgets/filtercommands.h"
#include "browse/widgets/duplicateswindow.h"
#include "media/widgets/verifywindow.h"
#include "app/widgets/savedqueriesmenu.h"
#include "app/widgets/sortcommands.h"
#include "browse/savedqueries.h"
#include "catalogue/shownrowsmodel.h"
#include "catalogue/cataloguelistfile.h"
#include "base/platform/platform.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>


QString Form2::emptyCatalogueHint()
{
    return QStringLiteral("No tracks yet: press Scan to add a medium.");
}

Form2::Form2(Prompter &prompter, Platform &platform, QString argument, QWidget *parent)
    : QMainWindow(parent), m_prompter(prompter), m_platform(platform), m_argument(std::move(argument)),
      m_catalogue(new CatalogueListModel(CatalogueModel::listHeaders(), this)),
      m_markBin(new CatalogueModel(CatalogueModel::markBinHeaders(), this)),
      m_session(*m_catalogue, prompter, CatalogueListFile::defaultPath())
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Ondro 2000"));
    setWindowIcon(AppIcons::programIcon());
    buildControls();
    buildMenus();
    nameControls();
    resize(m_placement.px(10860), m_placement.px(MinimumWindowHeightTwips));
    m_ui.catalogueView->setFocus(); // keys go to the list from the start
}

Form2::~Form2()
{
    // Work on another core may still be reading the catalogue. The filter's
    // pass ends first: as a child made after the catalogue it would
    // otherwise wait for it only once the catalogue is gone.
    delete m_filter;
    m_filter = nullptr;
    if (m_work)
        m_work->waitForFinished();
}

void Form2::buildControls()
{
    m_shown = new ShownRowsModel(*m_catalogue, this);
    m_ui = MainControls::build(*this, m_shown, m_markBin, emptyCatalogueHint());
    m_media = new MediaCommands(*static_cast<CatalogueListModel *>(m_catalogue), this, m_prompter, m_platform,
                                [this] { updateCaption(); });
    connect(m_media, &MediaCommands::duplicatesWindowOpened, this, &Form2::connectDuplicates);
    m_cover.setLocator([this](const QString &path, const QString &source) { return m_media->located(path, source); });
    connect(m_media, &MediaCommands::verifyWindowOpened, this, &Form2::connectVerification);
    m_session.alsoSaved([this] { return m_media->session().hasChanges(); });
    m_filter = new FilterCommands(*m_catalogue, m_ui, m_media->session(), this);
    const QString savedQueries = SavedQueries::fileIn(QFileInfo(CatalogueListFile::defaultPath()).absolutePath());
    m_filter->setSavedQueries(savedQueries);
    connect(qApp, &QApplication::focusChanged, this, [this] { m_placement.placeFilter(); });
    connect(m_filter, &FilterCommands::labelChanged, this, [this] { m_placement.placeFilter(); });
    new SavedQueriesMenu(m_ui.queriesButton, m_ui.filterField, savedQueries, m_prompter);
    m_browse = new BrowseCommands(
        *m_catalogue, *m_markBin,
        {this, m_ui, [this] { m_cover.showSelected(); }, [this] { updateCaption(); }, m_settings.coverPath,
         [this](const QString &path, const QString &source) { return m_media->located(path, source); },
         [this, savedQueries] {
             const MediaSession &media = m_media->session();
             Query::Context context;
             context.media = Query::mediaOf(media.media(), media.states());
             return QuerySearch::Scope{std::move(context), savedQueries};
         },
         [this](const QString &source) { return m_media->offlineQuestion(source); },
         [this](qsizetype row, QWidget *parent) {
             m_browse->selectEntry(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
             showSelectedDetails(parent);
         }},
        m_prompter, m_platform);
    m_library = new LibraryCommands(*m_catalogue, this, m_work, [this] { updateCaption(); }, m_prompter, m_platform);
    new SortCommands(*m_catalogue, *m_ui.catalogueView, this, m_work);
    m_columns = new ListColumns(*m_ui.catalogueView, m_placement, m_platform, this);
    connectCatalogueList();
    connectCommands();
}

void Form2::connectCatalogueList()
{
    m_ui.catalogueView->installEventFilter(this); // Return opens the current entry
    connect(m_ui.catalogueView->header(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (!m_placement.applyingWidths() && column < Settings::ColumnCount)
            m_settings.widths[size_t(column)] = float(pixelsToTwips(size, m_placement.dpi()));
        QMetaObject::invokeMethod(this, [this] { m_placement.fillListWidth(); }, Qt::QueuedConnection);
    });
    connect(m_ui.catalogueView, &RowList::clicked, this, [this] { m_cover.rowClicked(); });
    // The preview follows the selection as a click does, also when the
    // arrow keys or a selection key move it.
    const QItemSelectionModel *selection = m_ui.catalogueView->selectionModel();
    connect(selection, &QItemSelectionModel::currentChanged, this, [this] { m_cover.rowClicked(); });
    connect(selection, &QItemSelectionModel::selectionChanged, this, [this] { m_cover.rowClicked(); });
    connect(m_ui.catalogueView, &RowList::doubleClicked, this, &Form2::rowDoubleClicked);
    connect(m_ui.catalogueView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_listMenu->popup(m_ui.catalogueView->viewport()->mapToGlobal(at)); });
    // Shift+F10 opens the pop-up menu as the Menu key does, under the
    // current row.
    auto *menuKey = new QAction(m_ui.catalogueView);
    menuKey->setObjectName(QStringLiteral("listMenuKey"));
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WidgetShortcut);
    m_ui.catalogueView->addAction(menuKey);
    connect(menuKey, &QAction::triggered, this, [this] {
        const QRect row = m_ui.catalogueView->visualRect(m_ui.catalogueView->currentIndex());
        Q_EMIT m_ui.catalogueView->customContextMenuRequested(row.isValid() ? row.center() : QPoint(0, 0));
    });
}

void Form2::connectCommands()
{
    const auto command = [this](const char *name) { return m_ui.button(name); };
    connect(command("Command2"), &QToolButton::clicked, this, [this] { runJob(StatusJob::Save); });
    connect(command("Command5"), &QToolButton::clicked, this, &Form2::scan);
    connect(command("Command8"), &QToolButton::clicked, this, [this] { runJob(StatusJob::Print); });
    connect(command("Command3"), &QToolButton::clicked, m_browse, &BrowseCommands::find);
    connect(command("Command4"), &QToolButton::clicked, m_browse, &BrowseCommands::findAgain);
    connect(command("Command1"), &QToolButton::clicked, m_browse, &BrowseCommands::prepareBurn);
    connect(command("Command9"), &QToolButton::clicked, m_browse, &BrowseCommands::openQuery);
    command("Command3")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    command("Command8")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));

    // F3 works anywhere in the window, and only after a Find with a text.
    auto *findAgain = new QAction(this);
    findAgain->setObjectName(QStringLiteral("findAgainKey"));
    findAgain->setShortcut(QKeySequence(Qt::Key_F3));
    connect(findAgain, &QAction::triggered, this, [this, command] {
        if (!m_ui.findTextLabel->text().isEmpty())
            command("Command4")->click();
    });
    addAction(findAgain);
    auto *selectAll = new QAction(this);
    selectAll->setObjectName(QStringLiteral("selectAllKey"));
    selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    connect(selectAll, &QAction::triggered, this, [this] {
        m_ui.catalogueView->setFocus();
        m_ui.catalogueView->selectAll();
    });
    addAction(selectAll);
    auto *filterKey = new QAction(this);
    filterKey->setObjectName(QStringLiteral("filterKey"));
    filterKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(filterKey, &QAction::triggered, this, [this] {
        m_ui.filterField->setFocus(Qt::ShortcutFocusReason);
        m_ui.filterField->selectAll();
    });
    addAction(filterKey);
}

void Form2::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_placement.rememberNormalFrame();
    m_placement.applyLayout();
}

void Form2::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    m_placement.rememberNormalFrame();
}

void Form2::resetWindow()
{
    m_placement.reset();
}

void Form2::nameControls()
{
    m_ui.catalogueView->setAccessibleName(QStringLiteral("Catalogue"));
    m_ui.markBinView->setAccessibleName(QStringLiteral("Marked Bin"));
    m_ui.coverStrip->setAccessibleName(QStringLiteral("Cover strip"));
    m_ui.toolFrame->setAccessibleName(QStringLiteral("Tool bar"));
    m_ui.catalogueFrame->setAccessibleName(QStringLiteral("Catalogue"));
}
