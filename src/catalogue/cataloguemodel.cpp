#include "catalogue/cataloguemodel.h"
#include "base/workpool.h"

#include "catalogue/columnsort.h"
#include "catalogue/factcolumns.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <memory>
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

QStringList CatalogueModel::listHeaders()
{
    return catalogueHeaders() + FactColumns::headers();
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
        if (index.column() >= TrackFieldCount)
            return FactColumns::display(m_rows.extensionUtf8(index.row()), index.column());
        return m_rows.field(index.row(), index.column());
    case Qt::ToolTipRole:
        // A path cut short in its cell shows whole as the cell's tooltip.
        if (index.column() == FieldFilename || index.column() == FieldCoverImage)
            return m_rows.field(index.row(), index.column());
        return {};
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
    Q_EMIT rowsAboutToChange();
    ++m_revision;
    m_rows.appendAll(std::move(batch));
    endInsertRows();
}

void CatalogueModel::setField(qsizetype row, int field, const QString &value)
{
    if (m_rows.origin(row) == EntryOrigin::Own && m_rows.field(row, field) != value)
        ++m_generation;
    Q_EMIT rowsAboutToChange();
    ++m_revision;
    m_rows.setField(row, field, value);
    const QModelIndex at = index(int(row), field);
    Q_EMIT dataChanged(at, at);
}

void CatalogueModel::setExtension(qsizetype row, QByteArrayView extension)
{
    if (m_rows.origin(row) == EntryOrigin::Own && m_rows.extensionUtf8(row) != extension)
        ++m_generation;
    Q_EMIT rowsAboutToChange();
    ++m_revision;
    m_rows.setExtension(row, extension);
}

void CatalogueModel::removeEntries(qsizetype first, qsizetype count)
{
    if (count <= 0)
        return;
    if (hasOwnRows(m_rows, first, count))
        ++m_generation;
    beginRemoveRows({}, int(first), int(first + count - 1));
    Q_EMIT rowsAboutToChange();
    ++m_revision;
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
    Q_EMIT rowsAboutToChange();
    ++m_revision;
    m_rows.removeSortedRows(sortedRows);
    endResetModel();
}

void CatalogueModel::clear()
{
    if (hasOwnRows(m_rows, 0, m_rows.size()))
        ++m_generation;
    beginResetModel();
    Q_EMIT rowsAboutToChange();
    ++m_revision;
    m_rows.clear();
    endResetModel();
}

void CatalogueModel::apply(RowEdits &&edits)
{
    for (const RowEdits::Field &edit : edits.fields)
        setField(edit.row, edit.field, edit.value);
    for (const RowEdits::Extension &edit : edits.extensions)
        setExtension(edit.row, edit.line);
    if (!edits.removed.empty())
        removeEntries(edits.removed);
    appendRows(std::move(edits.appended));
}

bool CatalogueModel::hasOwnRows(const RowStore &rows, qsizetype first, qsizetype count)
{
    for (qsizetype i = first; i < first + count; ++i)
        if (rows.origin(i) == EntryOrigin::Own)
            return true;
    return false;
}

std::vector<qsizetype> stableSortOrder(const RowStore &rows, int field)
{
    if (FactColumns::isFactColumn(field))
        return FactColumns::order(rows, field);
    return ColumnSort::order(rows, field);
}

std::vector<qsizetype> stableSortOrder(const RowStore &rows, int field, std::vector<qsizetype> subset)
{
    if (FactColumns::isFactColumn(field))
        return FactColumns::order(rows, field, std::move(subset));
    return ColumnSort::order(rows, field, subset);
}

QFuture<CatalogueModel::PreparedSort> CatalogueModel::sortAsync(int column) const
{
    if (column < 0 || column >= columnCount() || m_rows.size() < 2)
        return QtFuture::makeReadyFuture(PreparedSort());
    return QtConcurrent::run(workPool(), [&rows = m_rows, column, revision = m_revision] {
        return prepareSort(rows, stableSortOrder(rows, column), revision);
    });
}

void CatalogueModel::sort(int column, Qt::SortOrder)
{
    if (column < 0 || column >= columnCount() || m_rows.size() < 2)
        return;
    applySort(prepareSort(m_rows, stableSortOrder(m_rows, column), m_revision));
}

CatalogueModel::PreparedSort CatalogueModel::prepareSort(const RowStore &rows, const std::vector<qsizetype> &order,
                                                         quint64 revision)
{
    PreparedSort sorted;
    sorted.revision = revision;
    sorted.rows = rows.arranged(order);
    sorted.newRowOf.resize(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        sorted.newRowOf[size_t(order[i])] = int(i);
    // Only a new order of the own rows among themselves changes what a
    // save writes.
    qsizetype lastOwn = -1;
    for (const qsizetype old : order) {
        if (rows.origin(old) != EntryOrigin::Own)
            continue;
        if (old < lastOwn) {
            sorted.reordersOwnRows = true;
            break;
        }
        lastOwn = old;
    }
    return sorted;
}

namespace {

// Freeing what a sort of a large catalogue leaves behind (the old row
// order and the row map, tens of MB at a million rows) hands that memory
// back to the system, which holds a thread for tens of milliseconds: a
// pool thread does it rather than the window's.
void freeElsewhere(CatalogueModel::PreparedSort &&spent)
{
    constexpr size_t FreeElsewhereFrom = 100000; // rows
    if (spent.newRowOf.size() < FreeElsewhereFrom)
        return;
    auto held = std::make_shared<CatalogueModel::PreparedSort>(std::move(spent));
    workPool()->start([held]() mutable { held.reset(); });
}

} // namespace

bool CatalogueModel::applySort(PreparedSort &&sorted)
{
    if (sorted.isEmpty() || sorted.revision != m_revision || sorted.newRowOf.size() != size_t(m_rows.size()))
        return false;
    if (sorted.reordersOwnRows)
        ++m_generation;
    Q_EMIT rowsAboutToChange();
    ++m_revision;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &idx : before)
        after.append(index(sorted.newRowOf[size_t(idx.row())], idx.column()));
    m_rows.rearrange(sorted.rows);
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    freeElsewhere(std::move(sorted));
    return true;
}
