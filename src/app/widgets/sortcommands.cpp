#include "app/widgets/sortcommands.h"

#include "base/widgets/rowlist.h"
#include "catalogue/cataloguemodel.h"
#include "base/widgets/listlook.h"
#include "base/widgets/longwork.h"

#include <QHeaderView>

SortCommands::SortCommands(CatalogueModel &catalogue, RowList &list, QWidget *window,
                           QPointer<QFutureWatcherBase> &work)
    : QObject(window), m_catalogue(catalogue), m_list(list), m_window(window), m_work(work)
{
    connect(list.header(), &QHeaderView::sectionClicked, this, &SortCommands::sortByColumn);
    connect(&catalogue, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { checkSortOrder(first, last); });
    connect(&catalogue, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        const int column = ListLook::sortArrowColumn(m_list.header());
        if (column >= from.column() && column <= to.column())
            checkSortOrder(from.row(), to.row());
    });
}

void SortCommands::sortByColumn(int column)
{
    // The rows are put in their new order on another core while the window
    // paints; they are swapped in as one change. Nothing may change the
    // rows meanwhile, which the busy state sees to by taking no input.
    if (m_work || column < 0 || column >= m_catalogue.columnCount())
        return;
    m_work = LongWork::finish(m_window, QStringLiteral("Sorting..."), m_catalogue.sortAsync(column),
                              std::make_shared<WorkProgress>(), [this, column](CatalogueModel::PreparedSort sorted) {
                                  m_work.clear();
                                  if (sorted.isEmpty() || m_catalogue.applySort(std::move(sorted)))
                                      ListLook::showSortArrow(m_list.header(), column);
                              });
}

void SortCommands::checkSortOrder(qsizetype first, qsizetype last)
{
    const int column = ListLook::sortArrowColumn(m_list.header());
    if (column < 0 || column >= m_catalogue.columnCount())
        return;
    std::vector<qsizetype> around;
    for (qsizetype row = std::max<qsizetype>(0, first - 1); row <= std::min(m_catalogue.size() - 1, last + 1); ++row)
        around.push_back(row);
    if (stableSortOrder(m_catalogue.rows(), column, around) != around)
        ListLook::showSortArrow(m_list.header(), -1);
}
