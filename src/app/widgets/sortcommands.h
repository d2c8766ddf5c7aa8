#pragma once

#include <QObject>
#include <QPointer>

class CatalogueModel;
class QFutureWatcherBase;
class RowList;
class QWidget;

// The catalogue list's sort: a click on a column's header sorts by it on
// another core, as the window's long work; the sort arrow stays only while
// the rows around a change keep the order.
class SortCommands : public QObject
{
    Q_OBJECT
public:
    SortCommands(CatalogueModel &catalogue, RowList &list, QWidget *window, QPointer<QFutureWatcherBase> &work);

    void sortByColumn(int column);

private:
    void checkSortOrder(qsizetype first, qsizetype last);

    CatalogueModel &m_catalogue;
    RowList &m_list;
    QWidget *m_window;
    QPointer<QFutureWatcherBase> &m_work;
};
