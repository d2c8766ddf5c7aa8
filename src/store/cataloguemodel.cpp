#include "store/cataloguemodel.h"

#include <QCollator>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <numeric>

CatalogueModel::CatalogueModel(QStringList headers, QObject *parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers))
{
}

QStringList CatalogueModel::catalogueHeaders()
{
    return {QStringLiteral("Filename"), QStringLiteral("Source"), QStringLiteral("Artist"),
            QStringLiteral("Track"),    QStringLiteral("Album"),  QStringLiteral("Year"),
            QStringLiteral("Genre"),    QStringLiteral("coverimage"), QStringLiteral("AudioHeader")};
}

QStringList CatalogueModel::markBinHeaders()
{
    return {QStringLiteral("Filename"), QStringLiteral("Source"), QStringLiteral("Artist"),
            QStringLiteral("Track"),    QStringLiteral("Album"),  QStringLiteral("Year"),
            QStringLiteral("Genre"),    QStringLiteral("Cover Image")};
}

int CatalogueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CatalogueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant CatalogueModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_rows.field(index.row(), index.column());
    case OriginRole:
        return int(m_rows.origin(index.row()));
    default:
        return {};
    }
}

QVariant CatalogueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_headers.size())
        return m_headers.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void CatalogueModel::append(const TrackRecord &record, EntryOrigin origin)
{
    RowStore one;
    one.append(record, origin);
    appendRows(std::move(one));
}

void CatalogueModel::appendRows(RowStore &&batch)
{
    if (batch.isEmpty())
        return;
    const int first = int(m_rows.size());
    if (hasOwnRows(batch, 0, batch.size()))
        ++m_generation;
    beginInsertRows({}, first, first + int(batch.size()) - 1);
    m_rows.appendAll(std::move(batch));
    endInsertRows();
}

void CatalogueModel::setField(qsizetype row, int field, const QString &value)
{
    if (m_rows.origin(row) == EntryOrigin::Own && m_rows.field(row, field) != value)
        ++m_generation;
    m_rows.setField(row, field, value);
    const QModelIndex at = index(int(row), field);
    Q_EMIT dataChanged(at, at);
}

void CatalogueModel::removeEntries(qsizetype first, qsizetype count)
{
    if (count <= 0)
        return;
    if (hasOwnRows(m_rows, first, count))
        ++m_generation;
    beginRemoveRows({}, int(first), int(first + count - 1));
    m_rows.removeRows(first, count);
    endRemoveRows();
}

void CatalogueModel::removeEntries(const std::vector<qsizetype> &sortedRows)
{
    // Runs of consecutive rows, last run first.
    std::vector<std::pair<qsizetype, qsizetype>> runs;
    for (size_t i = 0; i < sortedRows.size(); ++i) {
        if (!runs.empty() && runs.back().first + runs.back().second == sortedRows[i])
            ++runs.back().second;
        else
            runs.emplace_back(sortedRows[i], 1);
        if (runs.size() > 16)
            break;
    }
    if (runs.size() <= 16) {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run)
            removeEntries(run->first, run->second);
        return;
    }
    bool own = false;
    for (const qsizetype row : sortedRows)
        own = own || m_rows.origin(row) == EntryOrigin::Own;
    if (own)
        ++m_generation;
    beginResetModel();
    m_rows.removeSortedRows(sortedRows);
    endResetModel();
}

void CatalogueModel::clear()
{
    if (hasOwnRows(m_rows, 0, m_rows.size()))
        ++m_generation;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

bool CatalogueModel::hasOwnRows(const RowStore &rows, qsizetype first, qsizetype count)
{
    for (qsizetype i = first; i < first + count; ++i)
        if (rows.origin(i) == EntryOrigin::Own)
            return true;
    return false;
}

namespace {
QCollator textCollator()
{
    // The C locale compares code points and ignores the case setting;
    // a neutral language order is what a user expects there.
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    return collator;
}
} // namespace

std::vector<qsizetype> stableSortOrder(const RowStore &rows, int field)
{
    std::vector<qsizetype> order(size_t(rows.size()));
    std::iota(order.begin(), order.end(), 0);

    // One collation key per row, made in parallel; comparing keys is then a
    // plain byte comparison.
    const std::vector<QCollatorSortKey> keys =
        QtConcurrent::blockingMapped<std::vector<QCollatorSortKey>>(order, [&](qsizetype row) {
            thread_local const QCollator collator = textCollator();
            return collator.sortKey(rows.field(row, field));
        });
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    return order;
}

std::vector<qsizetype> stableSortOrder(const RowStore &rows, int field, std::vector<qsizetype> subset)
{
    const std::vector<QCollatorSortKey> keys =
        QtConcurrent::blockingMapped<std::vector<QCollatorSortKey>>(subset, [&](qsizetype row) {
            thread_local const QCollator collator = textCollator();
            return collator.sortKey(rows.field(row, field));
        });
    std::vector<qsizetype> order(subset.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    for (qsizetype &at : order)
        at = subset[size_t(at)];
    return order;
}

void CatalogueModel::sort(int column, Qt::SortOrder)
{
    if (column < 0 || column >= TrackFieldCount || m_rows.size() < 2)
        return;
    const std::vector<qsizetype> order = stableSortOrder(m_rows, column);
    // Only a new order of the own rows among themselves changes what a
    // save writes.
    qsizetype lastOwn = -1;
    for (const qsizetype old : order) {
        if (m_rows.origin(old) != EntryOrigin::Own)
            continue;
        if (old < lastOwn) {
            ++m_generation;
            break;
        }
        lastOwn = old;
    }

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRowOf[size_t(order[i])] = int(i);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &idx : before)
        after.append(index(newRowOf[size_t(idx.row())], idx.column()));
    m_rows.reorder(order);
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
