#pragma once

#include "catalogue/rowstore.h"

#include <QAbstractTableModel>
#include <vector>

// The rows of a query: indices into the catalogue's rows, shown with the
// query's nine columns. The ninth ("AudioHeader") is never filled. The
// catalogue must not change while the model is in use (the query window
// is modal), so a result row costs one index and no copy.
class QueryResults : public QAbstractTableModel
{
    Q_OBJECT
public:
    QueryResults(const RowStore &catalogue, std::vector<qsizetype> rows, QObject *parent = nullptr);

    static QStringList headers();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Ascending by the column's text, as the catalogue list sorts.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    qsizetype size() const { return qsizetype(m_rows.size()); }
    qsizetype catalogueRow(qsizetype row) const { return m_rows[size_t(row)]; }
    QString path(qsizetype row) const;
    QString source(qsizetype row) const;
    // The row's extension line, whose raw= says which bytes open its file (EntryPath).
    QByteArrayView extension(qsizetype row) const;

private:
    const RowStore &m_catalogue;
    std::vector<qsizetype> m_rows;
};
