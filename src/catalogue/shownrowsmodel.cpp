#include "catalogue/shownrowsmodel.h"

#include "catalogue/cataloguemodel.h"

#include <algorithm>

ShownRowsModel::ShownRowsModel(CatalogueModel &catalogue, QObject *parent)
    : QAbstractProxyModel(parent), m_catalogue(catalogue)
{
    QAbstractProxyModel::setSourceModel(&catalogue);
    connectCatalogue();
}

void ShownRowsModel::connectCatalogue()
{
    CatalogueModel *c = &m_catalogue;
    // Unfiltered, each change is passed on as it is; filtered, the list is
    // made anew around it.
    connect(c, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex &, int first, int last) {
        m_filtered ? rowsChanging() : beginInsertRows({}, first, last);
    });
    connect(c, &QAbstractItemModel::rowsInserted, this, [this] { m_filtered ? rowsChanged() : endInsertRows(); });
    connect(c, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex &, int first, int last) {
        m_filtered ? rowsChanging() : beginRemoveRows({}, first, last);
    });
    connect(c, &QAbstractItemModel::rowsRemoved, this, [this] { m_filtered ? rowsChanged() : endRemoveRows(); });
    connect(c, &QAbstractItemModel::modelAboutToBeReset, this, &ShownRowsModel::rowsChanging);
    connect(c, &QAbstractItemModel::modelReset, this, &ShownRowsModel::rowsChanged);
    connect(c, &QAbstractItemModel::layoutAboutToBeChanged, this, &ShownRowsModel::layoutChanging);
    connect(c, &QAbstractItemModel::layoutChanged, this, &ShownRowsModel::layoutDone);
    connect(c, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) {
                if (!m_filtered) {
                    Q_EMIT dataChanged(index(topLeft.row(), topLeft.column()),
                                       index(bottomRight.row(), bottomRight.column()), roles);
                    return;
                }
                // One change over the shown rows in the range, however many.
                const auto first = std::lower_bound(m_shown.begin(), m_shown.end(), qint32(topLeft.row()));
                const auto end = std::upper_bound(first, m_shown.end(), qint32(bottomRight.row()));
                if (first != end)
                    Q_EMIT dataChanged(index(int(first - m_shown.begin()), topLeft.column()),
                                       index(int(end - m_shown.begin()) - 1, bottomRight.column()), roles);
            });
    connect(c, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
}

void ShownRowsModel::rowsChanging()
{
    beginResetModel();
}

void ShownRowsModel::rowsChanged()
{
    if (m_filtered)
        m_shown = m_refilter ? m_refilter() : std::vector<qint32>();
    endResetModel();
}

void ShownRowsModel::layoutChanging()
{
    if (m_filtered) {
        beginResetModel();
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_layoutBefore = persistentIndexList();
    m_layoutSources.clear();
    m_layoutSources.reserve(m_layoutBefore.size());
    for (const QModelIndex &shown : m_layoutBefore)
        m_layoutSources.append(QPersistentModelIndex(mapToSource(shown)));
}

void ShownRowsModel::layoutDone()
{
    if (m_filtered) {
        rowsChanged();
        return;
    }
    QModelIndexList after;
    after.reserve(m_layoutSources.size());
    for (const QPersistentModelIndex &source : std::as_const(m_layoutSources))
        after.append(mapFromSource(source));
    changePersistentIndexList(m_layoutBefore, after);
    m_layoutBefore.clear();
    m_layoutSources.clear();
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ShownRowsModel::showOnly(std::vector<qint32> rows, Refilter refilter)
{
    beginResetModel();
    m_filtered = true;
    m_shown = std::move(rows);
    m_refilter = std::move(refilter);
    endResetModel();
}

void ShownRowsModel::showAll()
{
    if (!m_filtered)
        return;
    beginResetModel();
    m_filtered = false;
    m_shown = {};
    m_refilter = nullptr;
    endResetModel();
}

qsizetype ShownRowsModel::shownCount() const
{
    return m_filtered ? qsizetype(m_shown.size()) : m_catalogue.size();
}

qsizetype ShownRowsModel::catalogueRow(int shownRow) const
{
    if (!m_filtered)
        return shownRow;
    return shownRow >= 0 && size_t(shownRow) < m_shown.size() ? m_shown[size_t(shownRow)] : -1;
}

int ShownRowsModel::shownRow(qsizetype catalogueRow) const
{
    if (!m_filtered)
        return catalogueRow >= 0 && catalogueRow < m_catalogue.size() ? int(catalogueRow) : -1;
    const auto it = std::lower_bound(m_shown.begin(), m_shown.end(), qint32(catalogueRow));
    return it != m_shown.end() && *it == catalogueRow ? int(it - m_shown.begin()) : -1;
}

QModelIndex ShownRowsModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid())
        return {};
    const qsizetype row = catalogueRow(proxyIndex.row());
    return row < 0 ? QModelIndex() : m_catalogue.index(int(row), proxyIndex.column());
}

QModelIndex ShownRowsModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid())
        return {};
    const int row = shownRow(sourceIndex.row());
    return row < 0 ? QModelIndex() : index(row, sourceIndex.column());
}

QModelIndex ShownRowsModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex ShownRowsModel::parent(const QModelIndex &) const
{
    return {};
}

int ShownRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shownCount());
}

int ShownRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_catalogue.columnCount();
}

Qt::ItemFlags ShownRowsModel::flags(const QModelIndex &index) const
{
    // As the catalogue's: a table's rows never have children, which spares
    // the list asking each of them.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

bool ShownRowsModel::hasChildren(const QModelIndex &parent) const
{
    return !parent.isValid() && rowCount() > 0;
}

QModelIndex ShownRowsModel::sibling(int row, int column, const QModelIndex &) const
{
    return index(row, column);
}

void ShownRowsModel::sort(int column, Qt::SortOrder order)
{
    m_catalogue.sort(column, order);
}
