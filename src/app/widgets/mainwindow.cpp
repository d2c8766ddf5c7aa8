#include "app/widgets/mainwindow.h"

#include "app/mainlayout.h"
#include "app/widgets/appicons.h"
#include "app/widgets/cataloguelistmodel.h"

#include <QGroupBox>
#include <QHeaderView>
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

Form2::Form2(Prompter &prompter, Platform &platform, QString argument, QWidget *parent)
    : QMainWindow(parent), m_prompter(prompter), m_platform(platform), m_argument(std::move(argument))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Ondro 2000"));
    setWindowIcon(AppIcons::programIcon());
    m_catalogue = new CatalogueListModel(CatalogueModel::catalogueHeaders(), this);
    m_markBin = new CatalogueModel(CatalogueModel::markBinHeaders(), this);
    buildControls();
    buildMenus();
    nameControls();
    resize(px(10860), px(MinimumWindowHeightTwips));
}

Form2::~Form2() = default;

void Form2::buildControls()
{
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(m_central);

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

    m_catalogueFrame = new QGroupBox(m_central);
    m_catalogueFrame->setObjectName(QStringLiteral("Frame2"));
    m_catalogueView = makeList("ListView1", m_catalogue, m_catalogueFrame);
    m_catalogueView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_catalogueView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_catalogueView->header()->setSortIndicatorShown(true);
    m_catalogueView->header()->setSectionsClickable(true);
    m_catalogueView->installEventFilter(this);

    m_markBinFrame = new QGroupBox(QStringLiteral("Marked Bin"), m_central);
    m_markBinFrame->setObjectName(QStringLiteral("Frame1"));
    m_markBinView = makeList("ListView2", m_markBin, m_markBinFrame);
    m_markBinView->setSelectionMode(QAbstractItemView::SingleSelection);

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

    connect(m_catalogueView->header(), &QHeaderView::sectionClicked, this, &Form2::sortByColumn);
    connect(m_catalogueView->header(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (!m_applyingWidths && column < Settings::ColumnCount)
            m_settings.widths[size_t(column)] = float(pixelsToTwips(size, dpi()));
    });
    connect(m_catalogueView, &QTreeView::clicked, this, &Form2::rowClicked);
    connect(m_catalogueView, &QTreeView::doubleClicked, this, &Form2::rowDoubleClicked);
    connect(m_catalogueView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_listMenu->popup(m_catalogueView->viewport()->mapToGlobal(at)); });

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
}

void Form2::buildMenus()
{
    const auto entry = [this](QMenu *menu, const char *name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    const auto later = [](QAction *action) { action->setEnabled(false); };

    QMenu *files = menuBar()->addMenu(QStringLiteral("&Files"));
    files->setObjectName(QStringLiteral("mnuFiles"));
    connect(entry(files, "mnuFilesLoadODL", QStringLiteral("&Load ODL File")), &QAction::triggered, this,
            &Form2::loadLibrary);
    files->addSeparator()->setObjectName(QStringLiteral("mnuFilesDash1"));
    QMenu *exports = files->addMenu(QStringLiteral("&Export"));
    exports->setObjectName(QStringLiteral("mnuFilesExport"));
    connect(entry(exports, "mnuFilesExportAccess", QStringLiteral("&Access Database")), &QAction::triggered, this,
            &Form2::exportDatabase);
    connect(entry(exports, "mnuFilesExportCDCovers", QStringLiteral("&CD Covers (HTML)")), &QAction::triggered,
            this, &Form2::exportCovers);
    m_libraryAction = entry(exports, "mnuFilesExportODL", QStringLiteral("&Library (ODL)"));
    connect(m_libraryAction, &QAction::triggered, this, &Form2::createLibrary);
    connect(entry(exports, "mnuFilesExportText", QStringLiteral("&Text")), &QAction::triggered, this,
            [this] { runJob(StatusJob::ExportText); });
    exports->addSeparator()->setObjectName(QStringLiteral("mnuFilesExportDash"));
    connect(entry(exports, "mnuFilesExportm3u", QStringLiteral("&m3u (tunepost Compatible)")), &QAction::triggered,
            this, &Form2::exportTunepost);
    m_saveAction = entry(files, "Save", QStringLiteral("&Save"));
    connect(m_saveAction, &QAction::triggered, this, [this] { runJob(StatusJob::Save); });
    connect(entry(files, "mnuFilesClose", QStringLiteral("&Close")), &QAction::triggered, this, &QWidget::close);

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    entry(options, "mnuOptionsSettings", QStringLiteral("&Settings"))->setEnabled(false); // never used
    connect(entry(options, "mnuOptionsResetWindow", QStringLiteral("&Reset Window")), &QAction::triggered, this,
            &Form2::resetWindow);

    QMenu *marked = menuBar()->addMenu(QStringLiteral("&Marked"));
    marked->setObjectName(QStringLiteral("mnuMarkedCopyToTemp"));
    m_playlistAction = entry(marked, "mnuMarkedLaunchAsPlaylist", QStringLiteral("Launch as &Playlist"));
    connect(m_playlistAction, &QAction::triggered, this, &Form2::launchPlaylist);
    marked->addSeparator()->setObjectName(QStringLiteral("mnuMarkedDash"));
    connect(entry(marked, "mnuMarkedClear", QStringLiteral("&Clear")), &QAction::triggered, this,
            &Form2::clearMarkBin);

    QMenu *about = menuBar()->addMenu(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(entry(about, "mnuAboutWebpage", QStringLiteral("Ondro &Web Homepage")), &QAction::triggered, this,
            [this] { m_platform.shellOpen(QStringLiteral("https://ondro.example.org/")); });
    connect(entry(about, "mnuAboutAboutOndro", QStringLiteral("&About Ondro")), &QAction::triggered, this,
            &Form2::showAbout);

    // The list's pop-up menu; not part of the menu bar.
    m_listMenu = new QMenu(QStringLiteral("&Hidden"), this);
    m_listMenu->setObjectName(QStringLiteral("mnuHidden"));
    entry(m_listMenu, "mnuHiddenEmail", QStringLiteral("&Email"))->setEnabled(false); // never used
    m_listMenu->addSeparator();
    connect(entry(m_listMenu, "mnuhiddenRemove", QStringLiteral("&Remove")), &QAction::triggered, this,
            &Form2::removeSelectedEntries);
    m_listMenu->addSeparator();
    connect(entry(m_listMenu, "mnuHiddenImageCover", QStringLiteral("&Image Cover")), &QAction::triggered, this,
            &Form2::attachCover);
    connect(entry(m_listMenu, "mnuHiddenMark", QStringLiteral("&Add to Mark Bin")), &QAction::triggered, this,
            &Form2::addToMarkBin);
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
    const QSize frameExtra = frameGeometry().size() - size();
    const QSize outer = size() + frameExtra;
    const int minimumHeight = px(MinimumWindowHeightTwips) - frameExtra.height();
    if (minimumHeight > 0 && minimumHeight != this->minimumHeight())
        setMinimumHeight(minimumHeight);

    const MainLayout layout =
        layoutMainWindow(int(pixelsToTwips(outer.width(), dpi())), int(pixelsToTwips(outer.height(), dpi())));
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
    place(m_coverStrip, layout.image2);
    if (m_coverStrip->pixmap().size() != m_coverStrip->size())
        m_coverStrip->setPixmap(AppIcons::coverStrip(m_coverStrip->width(), m_coverStrip->height()));
    m_toolFrame->lower();
}

void Form2::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void Form2::resetWindow()
{
    if (isMaximized() || isMinimized() || isFullScreen())
        showNormal();
    const QSize frameExtra = frameGeometry().size() - size();
    resize(px(10860) - frameExtra.width(), std::max(px(9020) - frameExtra.height(), minimumHeight()));
}
