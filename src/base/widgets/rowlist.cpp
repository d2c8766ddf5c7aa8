#include "base/widgets/rowlist.h"

#include "base/widgets/listlook.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHeaderView>

#include <algorithm>

RowList::RowList(QWidget *parent) : QTableView(parent)
{
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    // Qt's corner button, never shown without row numbers, named as Qt
    // names its inner widgets.
    if (auto *corner = findChild<QAbstractButton *>())
        corner->setObjectName(QStringLiteral("qt_table_corner_button"));
    // One height for every row, never measured row by row.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsMovable(false);
    ListLook::apply(this, horizontalHeader());
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(ListLook::rowHeight(this));
}

void RowList::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        verticalHeader()->setDefaultSectionSize(ListLook::rowHeight(this));
}

QModelIndex RowList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // A table's Home and End stay in the row; in a list of entries they
    // go to the first and the last entry.
    if ((action == MoveHome || action == MoveEnd) && model() && model()->rowCount() > 0) {
        const int column = std::max(0, currentIndex().column());
        return model()->index(action == MoveHome ? 0 : model()->rowCount() - 1, column);
    }
    return QTableView::moveCursor(action, modifiers);
}
