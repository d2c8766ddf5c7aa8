#pragma once

#include <QString>

class QAbstractItemView;
class QHeaderView;
class QLabel;
class QTreeView;
class QWidget;

// How the program's report lists look, the same in every window: long
// texts cut in the middle (a path keeps its start and its file name), one
// row height whether or not the icon column is scrolled into view, and a
// sort arrow that points up for the ascending order, as this desktop reads
// it, shown only while the list is in the order it shows.
namespace ListLook {

void apply(QTreeView *list);
void apply(QAbstractItemView *list, QHeaderView *header);

// The height of every row of a list of widget's font and style, as tall
// as one with an icon.
int rowHeight(const QWidget *widget);

// The arrow on column, or none with column -1.
void showSortArrow(QHeaderView *header, int column);
int sortArrowColumn(const QHeaderView *header); // -1 when none is shown

// A hint shown where the rows would be while the list has none; the
// label's object name is "emptyHint".
QLabel *addEmptyHint(QAbstractItemView *list, const QString &text);

} // namespace ListLook
