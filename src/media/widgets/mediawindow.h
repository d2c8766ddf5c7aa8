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
class MediumActions;
class VerifyWindow;
class QMenu;
class QLabel;

// The Media window: one row per medium (every source of the register and
// of the catalogue) with its label, online state, files, size, playing
// time, last scan, last verification, code page, tag choice and note. The note is edited in
// place and saved at once; the code page and the tag choice are chosen in
// place from a list, shown on a few titles of the medium first, and
// applied by a rescan. Rescan walks
// the selected medium again; the context menu (and F2, Delete) renames,
// relocates or removes it; Verify... reads its files whole. Offline media
// are shown greyed. The status line says what the last rescan (or code
// page, or tag choice) did.
class MediaWindow : public QDialog
{
    Q_OBJECT

public:
    MediaWindow(CatalogueModel &catalogue, MediaSession &media, Prompter &prompter, QWidget *parent = nullptr);

    static QStringList headers();
    // For a library being viewed: the media are shown, never managed (no
    // Rescan, no cell edited), and the register is never written.
    void setViewOnly();

Q_SIGNALS:
    // A rescan changed the catalogue's entries.
    void catalogueChanged();
    // "Statistics" for the selected medium.
    void statisticsRequested(const QString &source);
    // A verification's results are shown (for the main window to take its requests).
    void verifyWindowOpened(VerifyWindow *window);

public:
    enum Column { SourceColumn, LabelColumn, OnlineColumn, FilesColumn, SizeColumn, TimeColumn, ScannedColumn,
                  VerifiedColumn, CodePageColumn, TagsColumn, NoteColumn };

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
    void addMediumMenu();

    CatalogueModel &m_catalogue;
    MediaSession &m_media;
    Prompter &m_prompter;
    RescanFlow *m_rescan = nullptr;
    MediumActions *m_actions = nullptr;
    QMenu *m_menu = nullptr;
    QPointer<QFutureWatcherBase> m_preview;
    QTableWidget *m_table = nullptr;
    QPushButton *m_rescanButton = nullptr;
    QPushButton *m_statisticsButton = nullptr;
    QLabel *m_status = nullptr; // what the last rescan did
    QString m_reading;          // "Code page windows-1251" while the rescan that applies it runs,
    QString m_readingSource;    // to this medium
    QPushButton *m_verifyButton = nullptr;
    bool m_filling = false;
    bool m_viewOnly = false;
};
