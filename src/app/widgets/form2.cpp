#include "form2.h"

#include "app/mainlayout.h"
#include "appicons.h"
#include "cataloguelistmodel.h"

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
    resize(px(10860), px(MinimumWindowHeightTwips));
}

Form2::~Form2() = default;

void Form2::buildControls()
{
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(m_central);

    m_frame3 = new QGroupBox(m_central);
    m_frame3->setObjectName(QStringLiteral("Frame3"));
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

    m_frame2 = new QGroupBox(m_central);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_listView1 = makeList("ListView1", m_catalogue, m_frame2);
    m_listView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView1->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listView1->header()->setSortIndicatorShown(true);
    m_listView1->header()->setSectionsClickable(true);
    m_listView1->installEventFilter(this);

    m_frame1 = new QGroupBox(QStringLiteral("Marked Bin"), m_central);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_listView2 = makeList("ListView2", m_markBin, m_frame1);
    m_listView2->setSelectionMode(QAbstractItemView::SingleSelection);

    m_image2 = new QLabel(m_central);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setScaledContents(true);
    m_image2->hide();
    m_image1 = new QLabel(m_central);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setToolTip(QStringLiteral("CD/Cassette Cover Image"));
    m_image1->setScaledContents(true);

    m_label2 = hiddenLabel("Label2", QStringLiteral("Label2"), m_central);
    m_label4 = hiddenLabel("Label4", QStringLiteral("1"), m_central);
    m_label5 = hiddenLabel("Label5", QString(), m_central);

    connect(m_listView1->header(), &QHeaderView::sectionClicked, this, &Form2::sortByColumn);
    connect(m_listView1->header(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (!m_applyingWidths && column < Settings::ColumnCount)
            m_settings.widths[size_t(column)] = float(pixelsToTwips(size, dpi()));
    });
    connect(m_listView1, &QTreeView::clicked, this, &Form2::rowClicked);
    connect(m_listView1, &QTreeView::doubleClicked, this, &Form2::rowDoubleClicked);
    connect(m_listView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_mnuHidden->popup(m_listView1->viewport()->mapToGlobal(at)); });

    const auto command = [this](const char *name) {
        return m_buttons[size_t(std::find_if(ToolButtons.begin(), ToolButtons.end(),
                                             [&](const ToolButtonSpec &s) { return qstrcmp(s.name, name) == 0; }) -
                                ToolButtons.begin())];
    };
    connect(command("Command2"), &QToolButton::clicked, this, [this] { runJob(StatusJob::Save); });
    connect(command("Command5"), &QToolButton::clicked, this, &Form2::scan);
    connect(command("Command8"), &QToolButton::clicked, this, [this] { runJob(StatusJob::Print); });
    // Find, Find Again, Prepare and Query come with their own commands.
    for (const char *later : {"Command3", "Command4", "Command1", "Command9"})
        command(later)->setEnabled(false);
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
    later(entry(files, "mnuFilesLoadODL", QStringLiteral("&Load ODL File")));
    files->addSeparator()->setObjectName(QStringLiteral("mnuFilesDash1"));
    QMenu *exports = files->addMenu(QStringLiteral("&Export"));
    exports->setObjectName(QStringLiteral("mnuFilesExport"));
    later(entry(exports, "mnuFilesExportAccess", QStringLiteral("&Access Database")));
    later(entry(exports, "mnuFilesExportCDCovers", QStringLiteral("&CD Covers (HTML)")));
    m_libraryAction = entry(exports, "mnuFilesExportODL", QStringLiteral("&Library (ODL)"));
    later(m_libraryAction);
    connect(entry(exports, "mnuFilesExportText", QStringLiteral("&Text")), &QAction::triggered, this,
            [this] { runJob(StatusJob::ExportText); });
    exports->addSeparator()->setObjectName(QStringLiteral("mnuFilesExportDash"));
    later(entry(exports, "mnuFilesExportm3u", QStringLiteral("&m3u (tunepost Compatible)")));
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
    later(m_playlistAction);
    marked->addSeparator()->setObjectName(QStringLiteral("mnuMarkedDash"));
    later(entry(marked, "mnuMarkedClear", QStringLiteral("&Clear")));

    QMenu *about = menuBar()->addMenu(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(entry(about, "mnuAboutWebpage", QStringLiteral("Ondro &Web Homepage")), &QAction::triggered, this,
            [this] { m_platform.shellOpen(QStringLiteral("https://ondro.example.org/")); });
    connect(entry(about, "mnuAboutAboutOndro", QStringLiteral("&About Ondro")), &QAction::triggered, this,
            &Form2::showAbout);

    // The list's pop-up menu; not part of the menu bar.
    m_mnuHidden = new QMenu(QStringLiteral("&Hidden"), this);
    m_mnuHidden->setObjectName(QStringLiteral("mnuHidden"));
    entry(m_mnuHidden, "mnuHiddenEmail", QStringLiteral("&Email"))->setEnabled(false); // never used
    m_mnuHidden->addSeparator();
    later(entry(m_mnuHidden, "mnuhiddenRemove", QStringLiteral("&Remove")));
    m_mnuHidden->addSeparator();
    later(entry(m_mnuHidden, "mnuHiddenImageCover", QStringLiteral("&Image Cover")));
    later(entry(m_mnuHidden, "mnuHiddenMark", QStringLiteral("&Add to Mark Bin")));
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
    place(m_frame3, layout.frame3);
    place(m_frame2, layout.frame2);
    place(m_listView1, layout.listView1);
    place(m_frame1, layout.frame1);
    place(m_listView2, layout.listView2);
    place(m_image1, layout.image1);
    place(m_image2, layout.image2);
    if (m_image2->pixmap().size() != m_image2->size())
        m_image2->setPixmap(AppIcons::coverStrip(m_image2->width(), m_image2->height()));
    m_frame3->lower();
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
