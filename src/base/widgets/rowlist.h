#pragma once

#include <QTableView>

// A report list of whole rows over a flat table model, as the main
// window's lists show them: rows selected whole, no grid and no row
// numbers, every row the height ListLook gives, Home and End going to the
// first and last row and Tab leaving the list. Unlike a tree view it keeps
// nothing per row: a million rows lay out as fast as ten.
class RowList : public QTableView
{
    Q_OBJECT
public:
    explicit RowList(QWidget *parent = nullptr);

    // The column headers, named as on the other lists.
    QHeaderView *header() const { return horizontalHeader(); }

protected:
    // The rows' height follows the font and the style.
    void changeEvent(QEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};
