#pragma once

#include <QDialog>
#include <QPointer>

class CatalogueModel;
class MediaSession;
class Prompter;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QFutureWatcherBase;
class RescanFlow;

// The Media window: one row per medium (every source of the register and
// of the catalogue) with its label, online state, files, size, playing
// time, last scan, code page, tag choice and note. The note is edited in
// place and saved at once; the code page and the tag choice are chosen in
// place from a list, shown on a few titles of the medium first, and
// applied by a rescan. Rescan walks
// the selected medium again. Offline media are shown greyed.
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
                  CodePageColumn, TagsColumn, NoteColumn };

private:
    void fill();
    void itemEdited(QTableWidgetItem *item);
    // The user chose name in column (the code page or the tag choice) for
    // source: previews it, then on Yes saves it and rescans the medium.
    void readingChosen(const QString &source, Column column, const QString &name);
    void previewRead(const QString &source, Column column, const QString &name, const QString &text);
    void rescanSelected();
    QString selectedSource() const;
    void selectionChanged();

    CatalogueModel &m_catalogue;
    MediaSession &m_media;
    Prompter &m_prompter;
    RescanFlow *m_rescan = nullptr;
    QPointer<QFutureWatcherBase> m_preview;
    QTableWidget *m_table = nullptr;
    QPushButton *m_rescanButton = nullptr;
    QPushButton *m_statisticsButton = nullptr;
    bool m_filling = false;
};
