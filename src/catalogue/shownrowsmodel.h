#pragma once

#include <QAbstractProxyModel>
#include <functional>
#include <vector>

class CatalogueModel;

// The catalogue as the main list shows it: every row, or only the rows a
// filter let through, in catalogue order. Shown rows cost four bytes each;
// with no filter the rows pass through one for one and nothing is held.
// While filtered, a change to the catalogue's rows (added, removed,
// reordered) shows the rows the filter gives anew, asked for at once.
class ShownRowsModel : public QAbstractProxyModel
{
    Q_OBJECT
public:
    // Works out the shown rows of the catalogue as it is now.
    using Refilter = std::function<std::vector<qint32>()>;

    explicit ShownRowsModel(CatalogueModel &catalogue, QObject *parent = nullptr);

    // Shows only rows (ascending catalogue rows), refilter giving them
    // again after the catalogue changes.
    void showOnly(std::vector<qint32> rows, Refilter refilter);
    void showAll();
    bool isFiltered() const { return m_filtered; }
    qsizetype shownCount() const;

    // The catalogue row of a row of the list, and back (-1 when hidden).
    qsizetype catalogueRow(int shownRow) const;
    int shownRow(qsizetype catalogueRow) const;

    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // Answered here, not through the catalogue: the list lays out each of
    // a million rows by them.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QModelIndex sibling(int row, int column, const QModelIndex &index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void connectCatalogue();
    // Before and after a change of the catalogue's rows.
    void rowsChanging();
    void rowsChanged();
    void layoutChanging();
    void layoutDone();

    CatalogueModel &m_catalogue;
    bool m_filtered = false;
    std::vector<qint32> m_shown;
    Refilter m_refilter;
    // Unfiltered, the list's persistent indexes (its selection) as
    // catalogue indexes while the catalogue is reordered.
    QModelIndexList m_layoutBefore;
    QList<QPersistentModelIndex> m_layoutSources;
};
