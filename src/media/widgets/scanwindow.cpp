#include "media/widgets/scanwindow.h"

#include "media/widgets/activityicons.h"
#include "base/platform/prompter.h"
#include "catalogue/cataloguemodel.h"
#include "media/tagreading.h"
#include "media/drivelist.h"
#include "media/widgets/rescanflow.h"
#include "media/widgets/scanworker.h"
#include "media/mediasession.h"
#include "base/platform/platform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Item data of the drive list entry that lets the user pick any folder.
constexpr int ChooseFolderRole = Qt::UserRole + 1;

} // namespace

QString Form5::idleText()
{
    return QStringLiteral("Idle... Waiting to scan media.");
}

QString Form5::walkingText()
{
    return QStringLiteral("Scanning directory structure of media for MP3s...");
}

QString Form5::importingText()
{
    return QStringLiteral("Importing filename(s), ID3 tag(s) and MP3 frame header specs.");
}

QString Form5::walkErrorMessage(const QString &driveText, const QStringList &failedFolders,
                                const QList<SkippedFile> &skipped)
{
    QString text = QStringLiteral("There was an error scanning ") + driveText;
    const auto list = [&text](const QString &heading, qsizetype count, const auto &line) {
        if (count == 0)
            return;
        text += QStringLiteral("\n\n") + heading;
        const qsizetype listed = qMin<qsizetype>(count, MaxListedFolders);
        for (qsizetype i = 0; i < listed; ++i)
            text += QLatin1Char('\n') + line(i);
        if (count > listed)
            text += QStringLiteral("\nand %1 more").arg(count - listed);
    };
    list(QStringLiteral("These folders could not be read:"), failedFolders.size(),
         [&](qsizetype i) { return QDir::toNativeSeparators(failedFolders.at(i)); });
    list(QStringLiteral("These files were not imported:"), skipped.size(), [&](qsizetype i) {
        return QDir::toNativeSeparators(skipped.at(i).path) + QStringLiteral(": ") + skipped.at(i).reason;
    });
    return text;
}

Form5::Form5(CatalogueModel &catalogue, Prompter &prompter, Platform &platform, QWidget *parent)
    : QDialog(parent)
    , m_catalogue(catalogue)
    , m_prompter(prompter)
    , m_platform(platform)
    , m_worker(new ScanWorker(this))
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Scan Media"));
    buildControls();
    fillDriveList();

    connect(m_scanButton, &QPushButton::clicked, this, &Form5::scanClicked);
    connect(m_doneButton, &QPushButton::clicked, this, &Form5::reject);
    connect(m_driveList, &QComboBox::activated, this, &Form5::driveActivated);
    connect(m_worker, &ScanWorker::walking, this, &Form5::showWalking);
    connect(m_worker, &ScanWorker::importing, this, &Form5::showImporting);
    connect(m_worker, &ScanWorker::finished, this, &Form5::scanEnded);
}

Form5::~Form5() = default;

void Form5::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sourceFrame());
    layout->addWidget(statusFrame());
    setActivity(m_idleIcon);
    resize(sizeHint().expandedTo(QSize(520, 0)));
}

QGroupBox *Form5::sourceFrame()
{
    auto *frame2 = new QGroupBox(QStringLiteral(" Source Device to Scan for MP3s "), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    m_driveList = new QComboBox(frame2);
    m_driveList->setObjectName(QStringLiteral("Drive1"));
    m_driveList->setMinimumContentsLength(24);
    m_driveList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_scanButton = new QPushButton(QStringLiteral("&Scan"), frame2);
    m_scanButton->setObjectName(QStringLiteral("Command1"));
    m_scanButton->setDefault(true);
    m_doneButton = new QPushButton(QStringLiteral("&Done"), frame2);
    m_doneButton->setObjectName(QStringLiteral("Command2"));
    m_doneButton->setAutoDefault(false);
    auto *label2 = new QLabel(
        QStringLiteral("If the media is on CD, and you have multiple CD drives, please insert the CD into the drive "
                       "that it can later be found in.  This is important if you will wish to launch the MP3 from "
                       "within Ondro."),
        frame2);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setWordWrap(true);

    auto *frame2Layout = new QGridLayout(frame2);
    frame2Layout->addWidget(m_driveList, 0, 0);
    frame2Layout->addWidget(m_scanButton, 0, 1);
    frame2Layout->addWidget(m_doneButton, 1, 1, Qt::AlignTop);
    frame2Layout->addWidget(label2, 1, 0);
    frame2Layout->setColumnStretch(0, 1);
    return frame2;
}

QGroupBox *Form5::statusFrame()
{
    auto *frame1 = new QGroupBox(QStringLiteral(" Status "), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    m_activityImage = new QLabel(frame1);
    m_activityImage->setObjectName(QStringLiteral("Image2"));
    m_activityImage->setFixedSize(ActivityIcons::Size, ActivityIcons::Size);
    m_statusLabel = new QLabel(idleText(), frame1);
    m_statusLabel->setObjectName(QStringLiteral("Label1"));
    m_statusLabel->setWordWrap(true);
    m_countLabel = new QLabel(frame1);
    m_countLabel->setObjectName(QStringLiteral("LabelCount"));

    // The stored pictures the activity display copies from; never shown.
    const auto stored = [this, frame1](const char *name, const QPixmap &pixmap) {
        auto *label = new QLabel(frame1);
        label->setObjectName(QLatin1String(name));
        label->setPixmap(pixmap);
        label->hide();
        return label;
    };
    m_idleIcon = stored("Image3", ActivityIcons::idle());
    m_walkingIcon = stored("Image4", ActivityIcons::walking());
    m_importIcons[0] = stored("Image1_1", ActivityIcons::importFrame(1));
    m_importIcons[1] = stored("Image1_2", ActivityIcons::importFrame(2));
    m_importIcons[2] = stored("Image1_3", ActivityIcons::importFrame(3));

    auto *texts = new QVBoxLayout;
    texts->addWidget(m_statusLabel);
    texts->addWidget(m_countLabel);
    auto *frame1Layout = new QHBoxLayout(frame1);
    frame1Layout->addWidget(m_activityImage, 0, Qt::AlignTop);
    frame1Layout->addLayout(texts, 1);
    return frame1;
}

QString Form5::musicFolder()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    // Without a music folder of its own Qt names the home folder.
    if (music.isEmpty() || QDir(music) == QDir::home() || !QFileInfo(music).isDir())
        return {};
    return QDir::cleanPath(music);
}

QString Form5::chooserStartFolder() const
{
    const QString last = m_platform.lastScanFolder();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString music = musicFolder();
    return music.isEmpty() ? QDir::homePath() : music;
}

void Form5::fillDriveList()
{
    // What a user scans: media and mounted volumes, the music folder and
    // the folder chosen last; anything else (the root file system, say)
    // through the folder chooser.
    m_driveList->clear();
    const QList<DriveList::Drive> drives = DriveList::availableDrives();
    for (const DriveList::Drive &d : drives)
        m_driveList->addItem(d.label, d.rootPath);
    const auto addFolder = [this](const QString &folder, const QString &note) {
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            return -1;
        if (const int existing = m_driveList->findData(folder); existing >= 0)
            return existing;
        m_driveList->addItem(QDir::toNativeSeparators(folder) + QStringLiteral("  [") + note + QLatin1Char(']'),
                             folder);
        return m_driveList->count() - 1;
    };
    addFolder(musicFolder(), QStringLiteral("Music"));
    const int last = addFolder(QDir::cleanPath(m_platform.lastScanFolder()), QStringLiteral("chosen last"));
    m_driveList->addItem(QStringLiteral("Choose a folder..."));
    m_driveList->setItemData(m_driveList->count() - 1, true, ChooseFolderRole);
    m_lastDrive = last >= 0 ? last : 0;
    m_driveList->setCurrentIndex(m_lastDrive);
}

void Form5::driveActivated(int index)
{
    if (!m_driveList->itemData(index, ChooseFolderRole).toBool()) {
        m_lastDrive = index;
        return;
    }
    const QString folder =
        m_prompter.chooseFolder(QStringLiteral("Choose the folder to scan for MP3s"), chooserStartFolder());
    if (folder.isEmpty()) {
        m_driveList->setCurrentIndex(m_lastDrive);
        return;
    }
    const QString root = QDir::cleanPath(folder);
    m_platform.setLastScanFolder(root);
    int existing = m_driveList->findData(root);
    if (existing < 0) {
        existing = m_driveList->count() - 1; // just above the chooser entry
        m_driveList->insertItem(existing, QDir::toNativeSeparators(root), root);
    }
    m_driveList->setCurrentIndex(existing);
    m_lastDrive = existing;
}

void Form5::scanClicked()
{
    if (m_driveList->currentData(ChooseFolderRole).toBool())
        driveActivated(m_driveList->currentIndex());
    const QString root = m_driveList->currentData().toString();
    if (!root.isEmpty())
        scan(root);
}

void Form5::scan(const QString &root)
{
    if (m_scanning)
        return;
    const QString source =
        m_prompter.textPrompt(QStringLiteral("Enter a unique source ID (CD02,HD01 etc)"), QStringLiteral("Source ID"));
    if (source.isEmpty() || !addsToExistingSource(source, root))
        return;
    // The medium's code page and tag choice, when the register knows them
    // from before.
    QString refusal;
    const TagReading reading = m_media ? m_media->reading(source, &refusal) : TagReading();
    if (!refusal.isEmpty()) {
        m_prompter.message(QStringLiteral("%1 cannot be scanned: the media register gives it an %2.")
                               .arg(source, refusal),
                           Prompter::Icon::Warning);
        return;
    }

    m_scanning = true;
    m_scanSource = source;
    m_closeAfterScan = false;
    m_scanButton->setEnabled(false);
    m_driveList->setEnabled(false);
    setCursor(Qt::WaitCursor);
    showWalking(0);

    m_scanRoot = root;
    m_worker->start(root, source, reading);
}

void Form5::scanEnded()
{
    ScanOutcome outcome = m_worker->takeOutcome();
    const bool stopped = outcome.stopped || m_worker->stopRequested();
    unsetCursor();
    m_scanButton->setEnabled(true);
    m_driveList->setEnabled(true);
    m_scanning = false;

    if (stopped) {
        // A stopped scan adds nothing: the user gets the catalogue as it was.
        setActivity(m_idleIcon);
        m_statusLabel->setText(idleText());
        m_countLabel->clear();
        if (m_closeAfterScan)
            QDialog::reject();
        Q_EMIT scanFinished();
        return;
    }

    if (!outcome.failedFolders.isEmpty() || !outcome.skipped.isEmpty())
        m_prompter.message(
            walkErrorMessage(QDir::toNativeSeparators(m_scanRoot), outcome.failedFolders, outcome.skipped),
            Prompter::Icon::Critical);
    const qsizetype added = outcome.rows.size();
    setActivity(m_idleIcon);
    if (added == 0) {
        // Nothing to complete: the status line says why the catalogue is as it was.
        m_statusLabel->setText(
            QStringLiteral("No MP3 files were found in %1.").arg(QDir::toNativeSeparators(m_scanRoot)));
        m_countLabel->clear();
        Q_EMIT scanFinished();
        return;
    }
    m_catalogue.appendRows(std::move(outcome.rows));
    noteScan(m_scanSource);
    m_statusLabel->setText(importingText());
    m_countLabel->setText(QStringLiteral("Files imported: %1").arg(added));
    Q_EMIT entriesAdded();
    m_prompter.message(QStringLiteral("Scan Complete"), Prompter::Icon::Information);
    Q_EMIT scanFinished();
}

void Form5::reject()
{
    if (!m_scanning) {
        QDialog::reject();
        return;
    }
    if (m_worker->stopRequested())
        return; // already stopping; the window closes when the scan has ended
    const Prompter::Answer answer = m_prompter.message(QStringLiteral("A scan is running. Stop it?"),
                                                       Prompter::Icon::Warning, Prompter::Buttons::YesNo);
    if (answer != Prompter::Answer::Yes || !m_scanning)
        return;
    // scanEnded() sees the flag once the worker has ended, drops what it
    // found and closes the window.
    m_closeAfterScan = true;
    m_worker->requestStop();
}

void Form5::showWalking(qsizetype found)
{
    m_statusLabel->setText(walkingText());
    m_countLabel->setText(QStringLiteral("Files found: %1").arg(found));
    setActivity(m_walkingIcon);
}

void Form5::showImporting(qsizetype imported, qsizetype total)
{
    m_statusLabel->setText(importingText());
    m_countLabel->setText(QStringLiteral("Files imported: %1 of %2").arg(imported).arg(total));
    setActivity(m_importIcons[ActivityIcons::importFrameFor(imported) - 1]);
}

void Form5::setActivity(QLabel *source)
{
    m_activityImage->setPixmap(source->pixmap());
    m_activityImage->setProperty("activity", source->objectName());
}
