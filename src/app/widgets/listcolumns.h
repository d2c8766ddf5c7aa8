#pragma once

#include <QObject>

class MainPlacement;
class Platform;
class QMenu;
class RowList;

// The main list's fact columns (FactColumns): hidden at first, shown or
// hidden from the pop-up menu of the list's header, the nine fields'
// columns untouched. Which are shown, and their widths, are kept in the
// state file.
class ListColumns : public QObject
{
    Q_OBJECT
public:
    ListColumns(RowList &list, MainPlacement &placement, Platform &platform, QWidget *window);

    // Shows the columns the state file names, at their widths; hides the rest.
    void restore();
    // Notes the shown columns and their widths in the state file.
    void remember();
    QMenu *menu() const { return m_menu; }

private:
    void setShown(int column, bool shown);

    RowList &m_list;
    MainPlacement &m_placement;
    Platform &m_platform;
    QMenu *m_menu = nullptr;
};
