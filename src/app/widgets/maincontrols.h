#pragma once

#include <QString>
#include <array>
#include <optional>
#include <vector>

class QAbstractItemModel;
class QComboBox;
class QLineEdit;
class QModelIndex;
class ShownRowsModel;
class QGroupBox;
class QLabel;
class QMainWindow;
class QToolButton;
class RowList;
class QWidget;

// The main window's controls, made once with their names, texts and look:
// the tool buttons, the catalogue and mark bin lists, the cover picture
// with its placeholder, and the hidden labels the window mirrors its state
// into. The window lays them out and connects them.
struct MainControls
{
    QWidget *central = nullptr;
    QGroupBox *toolFrame = nullptr;
    QGroupBox *catalogueFrame = nullptr;
    QGroupBox *markBinFrame = nullptr;
    RowList *catalogueView = nullptr;
    RowList *markBinView = nullptr;
    QLabel *coverImage = nullptr;
    QLabel *coverStrip = nullptr;
    QLabel *coverPlaceholder = nullptr; // framed, under the cover picture
    QLabel *emptyHint = nullptr;        // over the empty catalogue list
    QLabel *shownCoverLabel = nullptr;
    QLabel *findPositionLabel = nullptr;
    QLabel *findTextLabel = nullptr;
    std::array<QToolButton *, 7> buttons{}; // left to right, in tab order
    QToolButton *mediaButton = nullptr;       // the Media window, after them
    // Right of them: the filter box, its saved queries and "M of N shown".
    QWidget *filterArea = nullptr;
    QLineEdit *filterField = nullptr;
    QToolButton *queriesButton = nullptr;
    QLabel *shownLabel = nullptr;
    ShownRowsModel *shown = nullptr; // the catalogue list's model

    // The tool button of that object name ("Command4").
    QToolButton *button(const char *name) const;
    // The selected catalogue row the commands on one entry use (the
    // current one when it is selected), and all selected rows in order.
    std::optional<qsizetype> selectedRow() const;
    std::vector<qsizetype> selectedRowsInOrder() const;
    // The list's index of a catalogue row; invalid when the filter hides it.
    QModelIndex listIndex(qsizetype catalogueRow) const;

    static MainControls build(QMainWindow &window, ShownRowsModel *catalogue, QAbstractItemModel *markBin,
                              const QString &emptyHint);
};
