#include "app/widgets/maincontrols.h"

#include "base/widgets/appicons.h"
#include "base/widgets/listlook.h"
#include "base/widgets/rowlist.h"
#include "browse/markbin.h"
#include "catalogue/shownrowsmodel.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMainWindow>
#include <QToolButton>

#include <algorithm>

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

RowList *makeList(const char *name, QAbstractItemModel *model, QWidget *parent)
{
    auto *list = new RowList(parent);
    list->setObjectName(QLatin1String(name));
    list->setModel(model);
    return list;
}

QLabel *hiddenLabel(const char *name, const QString &caption, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->hide();
    return label;
}

void buildToolButtons(MainControls &c)
{
    c.toolFrame = new QGroupBox(c.central);
    c.toolFrame->setObjectName(QStringLiteral("Frame3"));
    for (size_t i = 0; i < ToolButtons.size(); ++i) {
        const ToolButtonSpec &spec = ToolButtons[i];
        auto *button = new QToolButton(c.central);
        button->setObjectName(QLatin1String(spec.name));
        button->setText(QLatin1String(spec.caption));
        button->setToolTip(QLatin1String(spec.tooltip));
        button->setIcon(AppIcons::toolIcon(spec.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(false);
        button->setIconSize(QSize(28, 28));
        c.buttons[i] = button;
    }
    c.mediaButton = new QToolButton(c.central);
    c.mediaButton->setObjectName(QStringLiteral("cmdMedia"));
    c.mediaButton->setText(QStringLiteral("Media"));
    c.mediaButton->setToolTip(QStringLiteral("The media: online, offline, notes, rescan"));
    c.mediaButton->setIcon(AppIcons::toolIcon(AppIcons::Tool::Media));
    c.mediaButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    c.mediaButton->setIconSize(QSize(28, 28));
}

void buildFilter(MainControls &c)
{
    c.filterArea = new QWidget(c.central);
    c.filterArea->setObjectName(QStringLiteral("filterArea"));
    c.filterArea->setAutoFillBackground(true); // it covers the buttons while it is in use
    c.filterField = new QLineEdit(c.filterArea);
    c.filterField->setObjectName(QStringLiteral("txtFilter"));
    c.filterField->setAccessibleName(QStringLiteral("Filter"));
    c.filterField->setPlaceholderText(QStringLiteral("Filter: artist:beat year:1990..1999"));
    c.filterField->setClearButtonEnabled(true);
    for (QAbstractButton *clear : c.filterField->findChildren<QAbstractButton *>())
        clear->setAccessibleName(QStringLiteral("Clear the filter"));
    c.queriesButton = new QToolButton(c.filterArea);
    c.queriesButton->setObjectName(QStringLiteral("cmdQueries"));
    // An arrow beside the field, like a search field's history: the area
    // right of the tool bar's buttons is narrow at the window's first size,
    // and the count below needs all of its width.
    c.queriesButton->setArrowType(Qt::DownArrow);
    c.queriesButton->setAccessibleName(QStringLiteral("Saved queries"));
    c.queriesButton->setToolTip(QStringLiteral("Saved queries"));
    c.queriesButton->setPopupMode(QToolButton::InstantPopup);
    c.queriesButton->setMenu(new QMenu(c.queriesButton));
    c.shownLabel = new QLabel(c.filterArea);
    c.shownLabel->setObjectName(QStringLiteral("lblShown"));
    auto *grid = new QGridLayout(c.filterArea);
    grid->setContentsMargins(0, 0, 0, 0);
    // The field and the saved queries share the first row; the count takes
    // the whole second.
    grid->addWidget(c.filterField, 0, 0);
    grid->addWidget(c.queriesButton, 0, 1);
    grid->addWidget(c.shownLabel, 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
}

void buildCatalogueList(MainControls &c, QAbstractItemModel *catalogue, const QString &emptyHint)
{
    c.catalogueFrame = new QGroupBox(c.central);
    c.catalogueFrame->setObjectName(QStringLiteral("Frame2"));
    c.catalogueView = makeList("ListView1", catalogue, c.catalogueFrame);
    c.catalogueView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    c.catalogueView->setContextMenuPolicy(Qt::CustomContextMenu);
    c.catalogueView->header()->setSectionsClickable(true);
    c.emptyHint = ListLook::addEmptyHint(c.catalogueView, emptyHint);
}

void buildMarkBinAndCover(MainControls &c, QAbstractItemModel *markBin)
{
    c.markBinFrame = new QGroupBox(QStringLiteral("Marked Bin"), c.central);
    c.markBinFrame->setObjectName(QStringLiteral("Frame1"));
    c.markBinView = makeList("ListView2", markBin, c.markBinFrame);
    c.markBinView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    c.markBinView->setContextMenuPolicy(Qt::CustomContextMenu);
    // The path tells the marked files apart: it gets the room of three columns.
    c.markBinView->header()->resizeSection(0, 3 * c.markBinView->header()->defaultSectionSize());

    // Where the cover goes: a frame with a placeholder, covered by the
    // picture when there is one.
    c.coverPlaceholder = new QLabel(QStringLiteral("No cover"), c.central);
    c.coverPlaceholder->setObjectName(QStringLiteral("coverPlaceholder"));
    c.coverPlaceholder->setFrameShape(QFrame::StyledPanel);
    c.coverPlaceholder->setFrameShadow(QFrame::Sunken);
    c.coverPlaceholder->setAlignment(Qt::AlignCenter);
    c.coverPlaceholder->setEnabled(false);
    c.coverStrip = new QLabel(c.central);
    c.coverStrip->setObjectName(QStringLiteral("Image2"));
    c.coverStrip->setScaledContents(true);
    c.coverStrip->hide();
    c.coverImage = new QLabel(c.central);
    c.coverImage->setObjectName(QStringLiteral("Image1"));
    c.coverImage->setToolTip(QStringLiteral("CD/Cassette Cover Image"));
    c.coverImage->setScaledContents(true);

    c.shownCoverLabel = hiddenLabel("Label2", QStringLiteral("Label2"), c.central);
    c.findPositionLabel = hiddenLabel("Label4", QStringLiteral("1"), c.central);
    c.findTextLabel = hiddenLabel("Label5", QString(), c.central);
}

} // namespace

QToolButton *MainControls::button(const char *name) const
{
    const auto spec = std::find_if(ToolButtons.begin(), ToolButtons.end(),
                                   [&](const ToolButtonSpec &s) { return qstrcmp(s.name, name) == 0; });
    return spec == ToolButtons.end() ? nullptr : buttons[size_t(spec - ToolButtons.begin())];
}

MainControls MainControls::build(QMainWindow &window, ShownRowsModel *catalogue, QAbstractItemModel *markBin,
                                 const QString &emptyHint)
{
    MainControls c;
    c.central = new QWidget(&window);
    c.central->setObjectName(QStringLiteral("centralWidget"));
    window.setCentralWidget(c.central);
    buildToolButtons(c);
    buildFilter(c);
    c.shown = catalogue;
    buildCatalogueList(c, catalogue, emptyHint);
    buildMarkBinAndCover(c, markBin);
    return c;
}

std::optional<qsizetype> MainControls::selectedRow() const
{
    const QItemSelectionModel *selection = catalogueView->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), {}))
        return shown->catalogueRow(current.row());
    // The first selected row without listing them all: Ctrl+A on a large
    // catalogue selects a million rows.
    for (const QItemSelectionRange &range : selection->selection())
        if (selection->isRowSelected(range.top(), range.parent()))
            return shown->catalogueRow(range.top());
    const QModelIndexList rows = selection->selectedRows();
    if (!rows.isEmpty())
        return shown->catalogueRow(rows.first().row());
    return std::nullopt;
}

std::vector<qsizetype> MainControls::selectedRowsInOrder() const
{
    // The list shows its rows in catalogue order: mapped, they stay in order.
    std::vector<qsizetype> rows = MarkBin::rowsInOrder(catalogueView->selectionModel()->selection());
    for (qsizetype &row : rows)
        row = shown->catalogueRow(int(row));
    return rows;
}

QModelIndex MainControls::listIndex(qsizetype catalogueRow) const
{
    const int row = shown->shownRow(catalogueRow);
    return row < 0 ? QModelIndex() : shown->index(row, 0);
}
