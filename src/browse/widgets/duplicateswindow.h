#pragma once

#include "browse/duplicates.h"

#include <QDialog>
#include <QList>
#include <functional>
#include <optional>
#include <vector>

class CatalogueModel;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class RowStore;

// The Duplicates window: the groups of copies of the same audio or the
// same song, largest first, one kind at a time. Each copy shows its
// source, whether its medium is online (offline copies greyed), its
// playing time, bitrate, mode, size, artist, title and path. A copy is
// selected in the main list (double click, Enter), played, shown, marked or
// removed through the main window's own commands, which it asks for by its
// signals; "Mark All but the Best Copy" marks the other copies of a group,
// or of every group. The groups follow the catalogue's changes.
class DuplicatesWindow : public QDialog
{
    Q_OBJECT

public:
    struct Found
    {
        std::vector<Duplicates::Group> audio;
        std::vector<Duplicates::Group> song;
    };
    // Whether the medium of a source is online; nothing when the register
    // does not know it.
    using Online = std::function<std::optional<bool>(const QString &source)>;

    // The groups of both kinds over rows (for a worker thread).
    static Found find(const RowStore &rows);

    DuplicatesWindow(const CatalogueModel &catalogue, Found found, Online online, QWidget *parent = nullptr);

    static QStringList headers();
    enum Column {
        SourceColumn,
        OnlineColumn,
        TimeColumn,
        KbpsColumn,
        ModeColumn,
        SizeColumn,
        ArtistColumn,
        TitleColumn,
        FilenameColumn
    };

    // The catalogue rows of the copies other than the best of each group
    // given (all shown when none is given), in catalogue order.
    QList<qsizetype> allButBest(const std::vector<const Duplicates::Group *> &groups) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void selectRequested(qsizetype row);
    void playRequested(qsizetype row);
    void detailsRequested(qsizetype row);
    void markRequested(const QList<qsizetype> &rows);
    void removeRequested(const QList<qsizetype> &rows);

private:
    void fill();
    QTreeWidgetItem *copyItem(QTreeWidgetItem *group, qsizetype row) const;
    void buildActions();
    // Finds the groups again when the catalogue changed since they were found.
    bool refreshIfStale();
    void watchCatalogue();
    void scheduleRefresh();
    // Rows removed: the groups follow without being found again.
    void rowsRemoved(int first, int last);
    void showMenu(const QPoint &at);
    void showMenuAtCurrent(); // the Menu key and Shift+F10
    // The copy that is current, and the copies selected, as catalogue rows.
    std::optional<qsizetype> currentCopy();
    QList<qsizetype> selectedCopies();
    const std::vector<Duplicates::Group> &shownGroups() const;
    void markAllButBest(bool everyGroup);

    const CatalogueModel &m_catalogue;
    const RowStore &m_rows;
    Found m_found;
    quint64 m_foundRevision = 0;
    bool m_refreshQueued = false;
    Online m_online;
    QComboBox *m_kind = nullptr;
    QLabel *m_summary = nullptr;
    QTreeWidget *m_tree = nullptr;
    QMenu *m_copyMenu = nullptr;
    QMenu *m_groupMenu = nullptr;
};
