#include "browse/queryresults.h"

#include "catalogue/cataloguemodel.h"

QueryResults::QueryResults(const RowStore &catalogue, std::vector<qsizetype> rows, QObject *parent)
    : QAbstractTableModel(parent), m_catalogue(catalogue), m_rows(std::move(rows))
{
}

QStringList QueryResults::headers()
{
    return {QStringLiteral("Filename"), QStringLiteral("Source"), QStringLiteral("Artist"),
            QStringLiteral("Track"),    QStringLiteral("Album"),  QStringLiteral("Year"),
            QStringLiteral("Genre"),    QStringLiteral("CoverImage"), QStringLiteral("AudioHeader")};
}

int QueryResults::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int QueryResults::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : TrackFieldCount;
}

QVariant QueryResults::data(const QModelIndex &index, int role) const
{
    // A path cut short in its cell shows whole as the cell's tooltip.
    const bool pathTip = role == Qt::ToolTipRole && (index.column() == FieldFilename || index.column() == FieldCoverImage);
    if (!index.isValid() || size_t(index.row()) >= m_rows.size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole && !pathTip))
        return {};
    if (index.column() == FieldAudioHeader)
        return QString();
    return m_catalogue.field(m_rows[size_t(index.row())], index.column());
}

QVariant QueryResults::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < TrackFieldCount)
        return headers().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void QueryResults::sort(int column, Qt::SortOrder)
{
    if (column < 0 || column >= TrackFieldCount || m_rows.size() < 2)
        return;
    std::vector<qsizetype> sorted;
    if (column == FieldAudioHeader)
        sorted = m_rows; // every text is empty: a stable sort keeps the order
    else
        sorted = stableSortOrder(m_catalogue, column, m_rows);
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    if (!before.isEmpty()) {
        // Where each catalogue row now sits, to move the persistent indices.
        std::vector<std::pair<qsizetype, int>> at;
        at.reserve(sorted.size());
        for (size_t i = 0; i < sorted.size(); ++i)
            at.emplace_back(sorted[i], int(i));
        std::sort(at.begin(), at.end());
        QModelIndexList after;
        for (const QModelIndex &idx : before) {
            const qsizetype row = m_rows[size_t(idx.row())];
            const auto found = std::lower_bound(at.begin(), at.end(), std::pair<qsizetype, int>(row, -1));
            after.append(index(found->second, idx.column()));
        }
        changePersistentIndexList(before, after);
    }
    m_rows = std::move(sorted);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString QueryResults::path(qsizetype row) const
{
    return m_catalogue.field(m_rows[size_t(row)], FieldFilename);
}

QString QueryResults::source(qsizetype row) const
{
    return m_catalogue.field(m_rows[size_t(row)], FieldSource);
}

QByteArrayView QueryResults::extension(qsizetype row) const
{
    return m_catalogue.extensionUtf8(m_rows[size_t(row)]);
}
