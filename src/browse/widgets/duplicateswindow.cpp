#include "browse/widgets/duplicateswindow.h"

#include "catalogue/cataloguemodel.h"
#include "catalogue/extensionline.h"
#include "catalogue/rowstore.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Groups shown at most: a catalogue of a collector's backups may hold a
// hundred thousand; the largest come first.
constexpr size_t MostGroupsShown = 5000;

// On a copy's first column: its catalogue row. On any column: the number
// it sorts by, when it is one.
constexpr int RowRole = Qt::UserRole;
constexpr int NumberRole = Qt::UserRole + 1;
// On a group's first column: its index among the groups of its kind.
constexpr int GroupRole = Qt::UserRole + 2;

// An item whose numbers sort as numbers, the rest as text.
class Item : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem &other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant a = data(column, NumberRole), b = other.data(column, NumberRole);
        if (a.isValid() || b.isValid())
            return a.toLongLong() < b.toLongLong() || (!a.isValid() && b.isValid());
        return QTreeWidgetItem::operator<(other);
    }
};

QString playingTime(std::optional<qint64> tenths)
{
    if (!tenths)
        return {};
    const qint64 seconds = (*tenths + 5) / 10;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void setNumber(QTreeWidgetItem *item, int column, std::optional<qint64> number, const QString &text)
{
    item->setText(column, text);
    if (number)
        item->setData(column, NumberRole, *number);
    item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
}

} // namespace

DuplicatesWindow::Found DuplicatesWindow::find(const RowStore &rows)
{
    Duplicates::Finder finder;
    finder.addAll(rows);
    return {finder.groups(Duplicates::Kind::Audio), finder.groups(Duplicates::Kind::Song)};
}

QStringList DuplicatesWindow::headers()
{
    return {QStringLiteral("Source"), QStringLiteral("Online"), QStringLiteral("Playing time"),
            QStringLiteral("Kbps"),   QStringLiteral("Mode"),   QStringLiteral("Size"),
            QStringLiteral("Artist"), QStringLiteral("Title"),  QStringLiteral("Filename")};
}

DuplicatesWindow::DuplicatesWindow(const CatalogueModel &catalogue, Found found, Online online, QWidget *parent)
    : QDialog(parent), m_catalogue(catalogue), m_rows(catalogue.rows()), m_found(std::move(found)),
      m_foundRevision(catalogue.revision()), m_online(std::move(online))
{
    setObjectName(QStringLiteral("DuplicatesWindow"));
    setWindowTitle(QStringLiteral("Duplicates"));
    setAccessibleName(windowTitle());
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("cboKind"));
    m_kind->setAccessibleName(QStringLiteral("Kind"));
    m_kind->addItems({Duplicates::kindTitle(Duplicates::Kind::Audio), Duplicates::kindTitle(Duplicates::Kind::Song)});
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("lstDuplicates"));
    m_tree->setAccessibleName(QStringLiteral("Duplicates"));
    m_tree->setHeaderLabels(headers());
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->header()->setStretchLastSection(true);
    // As found until a header is clicked: the view's own sorting would sort the groups as added.
    m_tree->header()->setSectionsClickable(true);
    m_tree->header()->setSortIndicatorShown(true);
    m_tree->header()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(m_tree->header(), &QHeaderView::sortIndicatorChanged, this, [this](int column, Qt::SortOrder order) {
        if (column >= 0)
            m_tree->sortItems(column, order);
    });
    auto *help = new QLabel(Duplicates::bestCopyRule()
                                + QStringLiteral(" Marking puts the other copies in the mark bin to review."),
                            this);
    help->setObjectName(QStringLiteral("lblHelp"));
    help->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *markAll = buttons->addButton(QStringLiteral("&Mark All but the Best Copies"), QDialogButtonBox::ActionRole);
    markAll->setObjectName(QStringLiteral("cmdMarkAllButBest"));
    markAll->setAccessibleName(QStringLiteral("Mark All but the Best Copies"));
    markAll->setAutoDefault(false); // Return selects the copy in the list
    QPushButton *close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    auto *top = new QHBoxLayout;
    top->addWidget(m_kind);
    top->addWidget(m_summary, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_tree);
    layout->addWidget(help);
    layout->addWidget(buttons);

    buildActions();
    connect(markAll, &QPushButton::clicked, this, [this] { markAllButBest(true); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &DuplicatesWindow::fill);
    watchCatalogue();
    fill();
    m_tree->setFocus(); // the keys act on the copies from the start
    resize(960, 460);
}

void DuplicatesWindow::watchCatalogue()
{
    connect(&m_catalogue, &QAbstractItemModel::modelReset, this, &DuplicatesWindow::scheduleRefresh);
    connect(&m_catalogue, &QAbstractItemModel::layoutChanged, this, &DuplicatesWindow::scheduleRefresh);
    connect(&m_catalogue, &QAbstractItemModel::rowsInserted, this, &DuplicatesWindow::scheduleRefresh);
    connect(&m_catalogue, &QAbstractItemModel::dataChanged, this, &DuplicatesWindow::scheduleRefresh);
    connect(&m_catalogue, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsRemoved(first, last); });
}

void DuplicatesWindow::buildActions()
{
    const auto action = [this](const char *name, const QString &text, QKeySequence key, auto slot) {
        auto *a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_tree->addAction(a);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    const auto onCopy = [this](void (DuplicatesWindow::*signal)(qsizetype)) {
        return [this, signal] {
            if (const auto row = currentCopy())
                Q_EMIT(this->*signal)(*row);
        };
    };
    m_copyMenu = new QMenu(this);
    m_copyMenu->setObjectName(QStringLiteral("mnuCopy"));
    m_copyMenu->addAction(action("actSelect", QStringLiteral("&Select in Catalogue"), QKeySequence(Qt::Key_Return),
                                 onCopy(&DuplicatesWindow::selectRequested)));
    m_copyMenu->addAction(action("actPlay", QStringLiteral("&Play"), QKeySequence(Qt::CTRL | Qt::Key_P),
                                 onCopy(&DuplicatesWindow::playRequested)));
    m_copyMenu->addAction(action("actDetails", QStringLiteral("&Details"), QKeySequence(Qt::CTRL | Qt::Key_D),
                                 onCopy(&DuplicatesWindow::detailsRequested)));
    m_copyMenu->addAction(action("actMark", QStringLiteral("Add to &Mark Bin"), QKeySequence(Qt::CTRL | Qt::Key_M), [this] {
        if (const QList<qsizetype> rows = selectedCopies(); !rows.isEmpty())
            Q_EMIT markRequested(rows);
    }));
    m_copyMenu->addSeparator();
    m_copyMenu->addAction(action("actRemove", QStringLiteral("&Remove from Catalogue"), QKeySequence(Qt::Key_Delete), [this] {
        if (const QList<qsizetype> rows = selectedCopies(); !rows.isEmpty())
            Q_EMIT removeRequested(rows);
    }));
    m_groupMenu = new QMenu(this);
    m_groupMenu->setObjectName(QStringLiteral("mnuGroup"));
    m_groupMenu->addAction(action("actMarkAllButBest", QStringLiteral("Mark All but the &Best Copy"),
                                  QKeySequence(Qt::CTRL | Qt::Key_B), [this] { markAllButBest(false); }));
    // Enter as Return; Shift+F10 as the Menu key.
    action("actSelectEnter", QString(), QKeySequence(Qt::Key_Enter), onCopy(&DuplicatesWindow::selectRequested));
    action("actMenuKey", QString(), QKeySequence(Qt::SHIFT | Qt::Key_F10), [this] { showMenuAtCurrent(); });
    m_tree->installEventFilter(this);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &DuplicatesWindow::showMenu);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (!refreshIfStale() && item->data(0, RowRole).isValid())
            Q_EMIT selectRequested(item->data(0, RowRole).value<qsizetype>());
    });
}

void DuplicatesWindow::showMenu(const QPoint &at)
{
    QTreeWidgetItem *item = m_tree->itemAt(at);
    if (!item)
        item = m_tree->currentItem();
    if (!item)
        return;
    m_tree->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    if (!item->isSelected())
        m_tree->setCurrentItem(item);
    QMenu *menu = item->parent() ? m_copyMenu : m_groupMenu;
    menu->popup(m_tree->viewport()->mapToGlobal(at));
}

void DuplicatesWindow::showMenuAtCurrent()
{
    const QRect row = m_tree->visualItemRect(m_tree->currentItem());
    showMenu(row.isValid() ? row.center() : QPoint(0, 0));
}

bool DuplicatesWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The Menu key opens the menu of the current row, wherever the mouse is.
    if (watched == m_tree && event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        showMenuAtCurrent();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

const std::vector<Duplicates::Group> &DuplicatesWindow::shownGroups() const
{
    return m_kind->currentIndex() == 0 ? m_found.audio : m_found.song;
}

void DuplicatesWindow::scheduleRefresh()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshQueued = false;
        refreshIfStale();
    });
}

void DuplicatesWindow::rowsRemoved(int first, int last)
{
    // Only when nothing else changed since the groups were made; else they
    // are found again.
    if (m_catalogue.revision() != m_foundRevision + 1) {
        scheduleRefresh();
        return;
    }
    Duplicates::removeRows(m_found.audio, first, last);
    Duplicates::removeRows(m_found.song, first, last);
    m_foundRevision = m_catalogue.revision();
    fill();
}

bool DuplicatesWindow::refreshIfStale()
{
    if (m_catalogue.revision() == m_foundRevision)
        return false;
    m_found = find(m_rows);
    m_foundRevision = m_catalogue.revision();
    fill();
    return true;
}

std::optional<qsizetype> DuplicatesWindow::currentCopy()
{
    if (refreshIfStale())
        return std::nullopt; // the row shown is no longer the one meant
    const QTreeWidgetItem *item = m_tree->currentItem();
    if (!item || !item->data(0, RowRole).isValid())
        return std::nullopt;
    return item->data(0, RowRole).value<qsizetype>();
}

QList<qsizetype> DuplicatesWindow::selectedCopies()
{
    if (refreshIfStale())
        return {};
    QList<qsizetype> rows;
    for (const QTreeWidgetItem *item : m_tree->selectedItems()) {
        if (item->data(0, RowRole).isValid())
            rows << item->data(0, RowRole).value<qsizetype>();
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QList<qsizetype> DuplicatesWindow::allButBest(const std::vector<const Duplicates::Group *> &groups) const
{
    QList<qsizetype> rows;
    std::vector<Duplicates::CopyFacts> facts;
    for (const Duplicates::Group *group : groups) {
        facts.clear();
        for (const qsizetype row : group->rows)
            facts.push_back(Duplicates::copyFacts(m_rows.extensionUtf8(row), m_online(m_rows.field(row, FieldSource))));
        const size_t best = Duplicates::bestCopy(facts);
        for (size_t i = 0; i < group->rows.size(); ++i) {
            if (i != best)
                rows << group->rows[i];
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void DuplicatesWindow::markAllButBest(bool everyGroup)
{
    if (refreshIfStale())
        return;
    std::vector<const Duplicates::Group *> groups;
    if (everyGroup) {
        for (const Duplicates::Group &group : shownGroups())
            groups.push_back(&group);
    } else if (const QTreeWidgetItem *item = m_tree->currentItem()) {
        const QTreeWidgetItem *groupItem = item->parent() ? item->parent() : item;
        const QVariant index = groupItem->data(0, GroupRole);
        if (index.isValid())
            groups.push_back(&shownGroups()[size_t(index.toLongLong())]);
    }
    if (const QList<qsizetype> rows = allButBest(groups); !rows.isEmpty())
        Q_EMIT markRequested(rows);
}

QTreeWidgetItem *DuplicatesWindow::copyItem(QTreeWidgetItem *group, qsizetype row) const
{
    const QString source = m_rows.field(row, FieldSource);
    const std::optional<bool> online = m_online(source);
    const QByteArrayView line = m_rows.extensionUtf8(row);
    const Duplicates::CopyFacts facts = Duplicates::copyFacts(line, online);
    auto *copy = new Item(group, QStringList{source, online ? (*online ? QStringLiteral("Online") : QStringLiteral("Offline")) : QString()});
    copy->setData(0, RowRole, row);
    const std::optional<qint64> tenths = ExtensionLine::tenthsValue(line, "dur");
    setNumber(copy, TimeColumn, tenths, playingTime(tenths));
    setNumber(copy, KbpsColumn, facts.kbps, facts.kbps ? QString::number(*facts.kbps) : QString());
    copy->setText(ModeColumn, QString::fromUtf8(facts.mode).toUpper());
    setNumber(copy, SizeColumn, facts.bytes, facts.bytes ? QLocale().formattedDataSize(*facts.bytes) : QString());
    copy->setText(ArtistColumn, m_rows.field(row, FieldArtist));
    copy->setText(TitleColumn, m_rows.field(row, FieldTrack));
    copy->setText(FilenameColumn, m_rows.field(row, FieldFilename));
    if (online == false) {
        for (int column = 0; column < copy->columnCount(); ++column)
            copy->setForeground(column, palette().brush(QPalette::Disabled, QPalette::Text));
    }
    return copy;
}

void DuplicatesWindow::fill()
{
    const std::vector<Duplicates::Group> &groups = shownGroups();
    QTreeWidgetItem *was = m_tree->currentItem();
    const int wasGroup = was ? m_tree->indexOfTopLevelItem(was->parent() ? was->parent() : was) : 0;
    m_tree->clear();
    const QLocale locale;
    size_t copies = 0;
    for (const Duplicates::Group &group : groups)
        copies += group.rows.size();
    QList<QTreeWidgetItem *> items;
    for (size_t g = 0; g < groups.size() && g < MostGroupsShown; ++g) {
        const Duplicates::Group &group = groups[g];
        const qsizetype first = group.rows.front();
        auto *item = new Item(QStringList{QStringLiteral("%1 copies").arg(group.rows.size())});
        item->setData(0, NumberRole, qlonglong(group.rows.size()));
        item->setData(0, GroupRole, qlonglong(g));
        item->setText(ArtistColumn, m_rows.field(first, FieldArtist));
        item->setText(TitleColumn, m_rows.field(first, FieldTrack));
        for (const qsizetype row : group.rows)
            copyItem(item, row);
        items.append(item);
    }
    m_tree->addTopLevelItems(items);
    if (const int column = m_tree->header()->sortIndicatorSection(); column >= 0)
        m_tree->sortItems(column, m_tree->header()->sortIndicatorOrder());
    if (items.size() <= 200)
        m_tree->expandAll();
    for (int column = 0; column < FilenameColumn; ++column)
        m_tree->resizeColumnToContents(column);
    if (!items.isEmpty())
        m_tree->setCurrentItem(m_tree->topLevelItem(std::clamp(wasGroup, 0, int(items.size()) - 1)));
    QString summary = groups.empty() ? QStringLiteral("No duplicates")
                                     : QStringLiteral("%1 %2, %3 copies")
                                           .arg(locale.toString(qlonglong(groups.size())),
                                                groups.size() == 1 ? QStringLiteral("group") : QStringLiteral("groups"),
                                                locale.toString(qlonglong(copies)));
    if (groups.size() > MostGroupsShown)
        summary += QStringLiteral(" (the largest %1 groups shown)").arg(locale.toString(qlonglong(MostGroupsShown)));
    m_summary->setText(summary);
}
