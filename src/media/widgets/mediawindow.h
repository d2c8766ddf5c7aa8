#pragma once

#include <QDialog>

class CatalogueModel;
class MediaSession;
class Prompter;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class RescanFlow;

// The Media window: one row per medium (every source of the register and
// of the catalogue) with its label, online state, files, size, playing
// time, last scan and note. The note is edited in place and saved at once;
// Rescan walks the selected medium again. Offline media are shown greyed.
class MediaWindow : public QDialog
{
    Q_OBJECT

public:
    MediaWindow(CatalogueModel &catalogue, MediaSession &media, Prompter &prompter, QWidget *parent = nullptr);

    static QStringList headers();

Q_SIGNALS:
    // A rescan changed the catalogue's entries.
    void catalogueChanged();
    // "Statistics" for the selected medium.
    void statisticsRequested(const QString &source);

public:
    enum Column { SourceColumn, LabelColumn, OnlineColumn, FilesColumn, SizeColumn, TimeColumn, ScannedColumn,
                  NoteColumn };

private:
    void fill();
    void noteEdited(QTableWidgetItem *item);
    void rescanSelected();
    QString selectedSource() const;
    void selectionChanged();

    CatalogueModel &m_catalogue;
    MediaSession &m_media;
    Prompter &m_prompter;
    RescanFlow *m_rescan = nullptr;
    QTableWidget *m_table = nullptr;
    QPushButton *m_rescanButton = nullptr;
    QPushButton *m_statisticsButton = nullptr;
    bool m_filling = false;
};
