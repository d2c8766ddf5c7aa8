#include "app/widgets/mainwindow.h"

#include "app/mainlayout.h"
#include "store/widgets/appicons.h"
#include "app/widgets/cataloguelistmodel.h"
#include "store/cataloguelistfile.h"
#include "app/widgets/desktopwindows.h"
#include "store/widgets/listlook.h"
#include "store/platform/openfailure.h"
#include "store/platform/platform.h"
#include "store/platform/prompter.h"

#include <QAction>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QKeySequence>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QTreeView>

namespace {

struct ToolButtonSpec
{
    const char *name;
    const char *caption;
    const char *tooltip;
    AppIcons::Tool icon;
};

// Left to right, in tab order.
constexpr std::array<ToolButtonSpec, 7> ToolButtons = {{
    {"Command2", "Save", "Save All data and Settings", AppIcons::Tool::Save},
    {"Command5", "Scan", "Import Files from Media", AppIcons::Tool::Scan},
    {"Command3", "Find", "Find", AppIcons::Tool::Find},
    {"Command4", "Find Again", "Find Next Occurance", AppIcons::Tool::FindAgain},
    {"Command1", "Prepare", "Prep for Audio Burn", AppIcons::Tool::Prepare},
    {"Command8", "Print", "Print Complete Index", AppIcons::Tool::Print},
    {"Command9", "Query", "", AppIcons::Tool::Query},
}};

QTreeView *makeList(const char *name, QAbstractItemModel *model, QWidget *parent)
{
    auto *list = new QTreeView(parent);
    list->setObjectName(QLatin1String(name));
    list->setModel(model);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true); // keeps a million rows cheap to lay out
    list->setAllColumnsShowFocus(true);
    list->setAlternatingRowColors(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    ListLook::apply(list);
    return list;
}

QLabel *hiddenLabel(const char *name, const QString &caption, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->hide();
    return label;
}

} // namespace

QString Form2::emptyCatalogueHint()
{
    return QStringLiteral("No tracks yet: press Scan to add a medium.");
}

Form2::Form2(Prompter &prompter, Platform &platform, QString argument, QWidget *parent)
    : QMainWindow(parent), m_prompter(prompter), m_platform(platform), m_argument(std::move(argument)),
      m_catalogue(new CatalogueListModel(CatalogueModel::catalogueHeaders(), this)),
      m_markBin(new CatalogueModel(CatalogueModel::markBinHeaders(), this)),
      m_session(*m_catalogue, prompter, CatalogueListFile::defaultPath())
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Ondro 2000"));
    setWindowIcon(AppIcons::programIcon());
    buildControls();
    buildMenus();
    nameControls();
    resize(px(10860), px(MinimumWindowHeightTwips));
    m_catalogueView->setFocus(); // keys go to the list from the start
}

Form2::~Form2()
{
    // Work on another core may still be reading the catalogue.
    if (m_work)
        m_work->waitForFinished();
}

void Form2::buildControls()
{
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(m_central);

    buildToolButtons();
    buildCatalogueList();
    buildMarkBinAndCover();
    connectCommands();
}

void Form2::buildToolButtons()
{
    m_toolFrame = new QGroupBox(m_central);
    m_toolFrame->setObjectName(QStringLiteral("Frame3"));
    for (size_t i = 0; i < ToolButtons.size(); ++i) {
        const ToolButtonSpec &spec = ToolButtons[i];
        auto *button = new QToolButton(m_central);
        button->setObjectName(QLatin1String(spec.name));
        button->setText(QLatin1String(spec.caption));
        button->setToolTip(QLatin1String(spec.tooltip));
        button->setIcon(AppIcons::toolIcon(spec.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(false);
        button->setIconSize(QSize(28, 28));
        m_buttons[i] = button;
    }
}

void Form2::buildCatalogueList()
{
    m_catalogueFrame = new QGroupBox(m_central);
    m_catalogueFrame->setObjectName(QStringLiteral("Frame2"));
    m_catalogueView = makeList("ListView1", m_catalogue, m_catalogueFrame);
    m_catalogueView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_catalogueView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_catalogueView->header()->setSectionsClickable(true);
    m_emptyHint = ListLook::addEmptyHint(m_catalogueView, emptyCatalogueHint());
    connect(m_catalogue, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { checkSortOrder(first, last); });
    connect(m_catalogue, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                const int column = ListLook::sortArrowColumn(m_catalogueView->header());
                if (column >= from.column() && column <= to.column())
                    checkSortOrder(from.row(), to.row());
            });
    m_catalogueView->installEventFilter(this);
    connectCatalogueList();
}

void Form2::buildMarkBinAndCover()
{
    m_markBinFrame = new QGroupBox(QStringLiteral("Marked Bin"), m_central);
    m_markBinFrame->setObjectName(QStringLiteral("Frame1"));
    m_markBinView = makeList("ListView2", m_markBin, m_markBinFrame);
    m_markBinView->setSelectionMode(QAbstractItemView::SingleSelection);
    // The path tells the marked files apart: it gets the room of three columns.
    m_markBinView->header()->resizeSection(0, 3 * m_markBinView->header()->defaultSectionSize());

    // Where the cover goes: a frame with a placeholder, covered by the
    // picture when there is one.
    m_coverPlaceholder = new QLabel(QStringLiteral("No cover"), m_central);
    m_coverPlaceholder->setObjectName(QStringLiteral("coverPlaceholder"));
    m_coverPlaceholder->setFrameShape(QFrame::StyledPanel);
    m_coverPlaceholder->setFrameShadow(QFrame::Sunken);
    m_coverPlaceholder->setAlignment(Qt::AlignCenter);
    m_coverPlaceholder->setEnabled(false);
    m_coverStrip = new QLabel(m_central);
    m_coverStrip->setObjectName(QStringLiteral("Image2"));
    m_coverStrip->setScaledContents(true);
    m_coverStrip->hide();
    m_coverImage = new QLabel(m_central);
    m_coverImage->setObjectName(QStringLiteral("Image1"));
    m_coverImage->setToolTip(QStringLiteral("CD/Cassette Cover Image"));
    m_coverImage->setScaledContents(true);

    m_shownCoverLabel = hiddenLabel("Label2", QStringLiteral("Label2"), m_central);
    m_findPositionLabel = hiddenLabel("Label4", QStringLiteral("1"), m_central);
    m_findTextLabel = hiddenLabel("Label5", QString(), m_central);
}

void Form2::connectCatalogueList()
{
    connect(m_catalogueView->header(), &QHeaderView::sectionClicked, this, &Form2::sortByColumn);
    connect(m_catalogueView->header(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (!m_applyingWidths && column < Settings::ColumnCount)
            m_settings.widths[size_t(column)] = float(pixelsToTwips(size, dpi()));
        QMetaObject::invokeMethod(this, &Form2::fillListWidth, Qt::QueuedConnection);
    });
    connect(m_catalogueView, &QTreeView::clicked, this, &Form2::rowClicked);
    // The preview follows the selection as a click does, also when the
    // arrow keys or a selection key move it.
    const QItemSelectionModel *selection = m_catalogueView->selectionModel();
    connect(selection, &QItemSelectionModel::currentChanged, this, &Form2::rowClicked);
    connect(selection, &QItemSelectionModel::selectionChanged, this, &Form2::rowClicked);
    connect(m_catalogueView, &QTreeView::doubleClicked, this, &Form2::rowDoubleClicked);
    connect(m_catalogueView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_listMenu->popup(m_catalogueView->viewport()->mapToGlobal(at)); });
    // Shift+F10 opens the pop-up menu as the Menu key does, under the
    // current row.
    auto *menuKey = new QAction(m_catalogueView);
    menuKey->setObjectName(QStringLiteral("listMenuKey"));
    menuKey->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WidgetShortcut);
    m_catalogueView->addAction(menuKey);
    connect(menuKey, &QAction::triggered, this, [this] {
        const QRect row = m_catalogueView->visualRect(m_catalogueView->currentIndex());
        Q_EMIT m_catalogueView->customContextMenuRequested(row.isValid() ? row.center() : QPoint(0, 0));
    });
}

void Form2::connectCommands()
{
    const auto command = [this](const char *name) {
        return m_buttons[size_t(std::find_if(ToolButtons.begin(), ToolButtons.end(),
                                             [&](const ToolButtonSpec &s) { return qstrcmp(s.name, name) == 0; }) -
                                ToolButtons.begin())];
    };
    connect(command("Command2"), &QToolButton::clicked, this, [this] { runJob(StatusJob::Save); });
    connect(command("Command5"), &QToolButton::clicked, this, &Form2::scan);
    connect(command("Command8"), &QToolButton::clicked, this, [this] { runJob(StatusJob::Print); });
    connect(command("Command3"), &QToolButton::clicked, this, &Form2::find);
    connect(command("Command4"), &QToolButton::clicked, this, &Form2::findAgain);
    connect(command("Command1"), &QToolButton::clicked, this, &Form2::prepareBurn);
    connect(command("Command9"), &QToolButton::clicked, this, &Form2::openQuery);
    command("Command3")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    command("Command8")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));

    // F3 works anywhere in the window, and only after a Find with a text.
    auto *findAgain = new QAction(this);
    findAgain->setObjectName(QStringLiteral("findAgainKey"));
    findAgain->setShortcut(QKeySequence(Qt::Key_F3));
    connect(findAgain, &QAction::triggered, this, [this, command] {
        if (!m_findTextLabel->text().isEmpty())
            command("Command4")->click();
    });
    addAction(findAgain);
    auto *selectAll = new QAction(this);
    selectAll->setObjectName(QStringLiteral("selectAllKey"));
    selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    connect(selectAll, &QAction::triggered, this, [this] {
        m_catalogueView->setFocus();
        m_catalogueView->selectAll();
    });
    addAction(selectAll);
}

double Form2::dpi() const
{
    return logicalDpiX();
}

int Form2::px(double twips) const
{
    return twipsToPixels(twips, dpi());
}

void Form2::applyLayout()
{
    // The rules speak of the outer size, frame and title bar included.
    const QMargins frame = DesktopWindows::frameMargins(this);
    const QSize frameExtra(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize outer = size() + frameExtra;
    const int minimumHeight = minimumOuterHeight() - frameExtra.height();
    if (minimumHeight > 0 && minimumHeight != this->minimumHeight())
        setMinimumHeight(minimumHeight);

    const int minimumTwips = minimumOuterHeight() < px(MinimumWindowHeightTwips)
                                 ? int(pixelsToTwips(minimumOuterHeight(), dpi()))
                                 : MinimumWindowHeightTwips;
    const MainLayout layout = layoutMainWindow(int(pixelsToTwips(outer.width(), dpi())),
                                               int(pixelsToTwips(outer.height(), dpi())), minimumTwips);
    const auto place = [this](QWidget *w, const TwipsRect &r) {
        w->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
    };
    for (size_t i = 0; i < m_buttons.size(); ++i)
        place(m_buttons[i], layout.buttons[i]);
    place(m_toolFrame, layout.frame3);
    place(m_catalogueFrame, layout.frame2);
    place(m_catalogueView, layout.listView1);
    place(m_markBinFrame, layout.frame1);
    place(m_markBinView, layout.listView2);
    place(m_coverImage, layout.image1);
    place(m_coverPlaceholder, layout.image1);
    m_coverImage->raise();
    place(m_coverStrip, layout.image2);
    if (m_coverStrip->pixmap().size() != m_coverStrip->size())
        m_coverStrip->setPixmap(AppIcons::coverStrip(m_coverStrip->width(), m_coverStrip->height()));
    m_toolFrame->lower();
    fillListWidth();
}

void Form2::fillListWidth()
{
    // In a wide (maximised) window the last column takes the room the
    // others leave; its width in the settings stays the one it was given.
    QHeaderView *header = m_catalogueView->header();
    int last = header->count() - 1;
    while (last > 0 && header->isSectionHidden(last))
        --last;
    if (last < 0 || last >= Settings::ColumnCount)
        return;
    const int given = px(m_settings.widths[size_t(last)]);
    const int room = m_catalogueView->viewport()->width() - header->sectionPosition(last);
    const int width = std::max(given, room);
    if (width > 0 && header->sectionSize(last) != width) {
        m_applyingWidths = true;
        header->resizeSection(last, width);
        m_applyingWidths = false;
    }
}

int Form2::minimumOuterHeight() const
{
    const int layoutMinimum = px(MinimumWindowHeightTwips);
    const QRect area = DesktopWindows::availableArea(this);
    return area.isValid() ? std::min(layoutMinimum, area.height()) : layoutMinimum;
}

void Form2::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    rememberNormalFrame();
    applyLayout();
}

void Form2::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    rememberNormalFrame();
}

void Form2::rememberNormalFrame()
{
    // A maximised window may be shown without its frame: only the normal
    // state tells how much the frame and title bar take.
    const QSize frame = frameGeometry().size() - size();
    if (isVisible() && windowState() == Qt::WindowNoState && !frame.isEmpty() && frame != m_normalFrame) {
        m_normalFrame = frame;
        // The lowest height counts the frame: it was estimated until now.
        applyLayout();
    }
}

void Form2::resetWindow()
{
    // Taken before showNormal(): until the window manager has redrawn the
    // frame, the window reads as normal with the maximised frame.
    const QSize frameExtra = m_normalFrame.isValid() ? m_normalFrame : frameGeometry().size() - size();
    if (isMaximized() || isMinimized() || isFullScreen())
        showNormal();
    resize(px(10860) - frameExtra.width(), std::max(px(9020) - frameExtra.height(), minimumHeight()));
}
