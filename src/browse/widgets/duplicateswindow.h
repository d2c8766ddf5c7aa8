#pragma once

#include "browse/duplicates.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QTreeWidget;
class RowStore;

// The Duplicates window: the groups of copies of the same audio or the
// same song, largest first, one kind at a time. Each copy shows its
// source, whether its medium is online (offline copies greyed), its
// playing time, artist, title and path.
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

    DuplicatesWindow(const RowStore &rows, Found found, Online online, QWidget *parent = nullptr);

    static QStringList headers();
    enum Column { SourceColumn, OnlineColumn, TimeColumn, ArtistColumn, TitleColumn, FilenameColumn };

private:
    void fill();

    const RowStore &m_rows;
    Found m_found;
    Online m_online;
    QComboBox *m_kind = nullptr;
    QLabel *m_summary = nullptr;
    QTreeWidget *m_tree = nullptr;
};
