#pragma once

#include "media/mediawalk.h"

#include <QDialog>
#include <QStringList>

class CatalogueModel;
class MediaSession;
class Platform;
class Prompter;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class RescanFlow;
class ScanWorker;

// The "Scan Media" window: pick a volume or folder, name the medium with a
// source ID, and the scan appends every MP3 file below it to the catalogue
// as own entries. The walk and the import run on a worker thread; the
// window stays responsive and can stop the scan, which then adds nothing.
class Form5 : public QDialog
{
    Q_OBJECT
public:
    Form5(CatalogueModel &catalogue, Prompter &prompter, Platform &platform, QWidget *parent = nullptr);
    ~Form5() override;

    // Asks for the source ID and starts the scan of root; scanFinished()
    // follows when it has ended. An empty answer changes nothing (and
    // nothing follows). Does nothing while a scan runs.
    void scan(const QString &root);
    bool isScanning() const { return m_scanning || isRescanning(); }
    bool isRescanning() const;

    // The media register to note each scan in; a source ID that already
    // has entries is then offered a rescan instead.
    void setMediaSession(MediaSession *media);

    // The message for folders the walk could not read and files it found
    // but did not import: "There was an error scanning " and the drive
    // text, then the folders, one a line, and the files with their
    // reasons, at most MaxListedFolders of each.
    static QString walkErrorMessage(const QString &driveText, const QStringList &failedFolders,
                                    const QList<SkippedFile> &skipped = {});
    static constexpr int MaxListedFolders = 20;

    // The user's music folder when there is one (not the home folder).
    static QString musicFolder();
    // Where the folder chooser starts: the folder chosen last, else the
    // music folder, else the home folder.
    QString chooserStartFolder() const;

    static QString idleText();
    static QString walkingText();
    static QString importingText();

Q_SIGNALS:
    // After a finished scan appended its entries (none, for a medium
    // without MP3 files), before "Scan Complete" is shown.
    void entriesAdded();
    // A scan has ended: completed (after "Scan Complete") or stopped.
    void scanFinished();

public Q_SLOTS:
    // Closing while a scan runs asks whether to stop it first.
    void reject() override;

private:
    void buildControls();
    QGroupBox *sourceFrame(); // the drive list, Scan and Done
    QGroupBox *statusFrame(); // the activity picture and the texts
    void fillDriveList();
    void driveActivated(int index);
    void scanClicked();
    void scanEnded();
    void showWalking(qsizetype found);
    void showImporting(qsizetype imported, qsizetype total);
    void setActivity(QLabel *source);

    // Asks what to do with a source ID that already has entries: true when
    // the scan is to add the files (again).
    bool addsToExistingSource(const QString &source, const QString &root);
    void noteScan(const QString &source);

    CatalogueModel &m_catalogue;
    MediaSession *m_media = nullptr;
    RescanFlow *m_rescan = nullptr;
    QString m_scanSource;
    Prompter &m_prompter;
    Platform &m_platform;
    ScanWorker *m_worker = nullptr;
    bool m_scanning = false;
    bool m_closeAfterScan = false;
    QString m_scanRoot;
    int m_lastDrive = 0;

    QComboBox *m_driveList = nullptr;
    QPushButton *m_scanButton = nullptr;
    QPushButton *m_doneButton = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_activityImage = nullptr;
    QLabel *m_idleIcon = nullptr;            // idle
    QLabel *m_walkingIcon = nullptr;            // walking
    QLabel *m_importIcons[3] = {nullptr, nullptr, nullptr}; // import frames 1..3
};
