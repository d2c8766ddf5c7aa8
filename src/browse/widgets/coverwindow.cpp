#include "browse/widgets/coverwindow.h"

#include "browse/coverattach.h"
#include "media/drivelist.h"
#include "base/platform/prompter.h"
#include "base/twips.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int ChooseFolderRole = Qt::UserRole + 1;
constexpr int PathRole = Qt::UserRole;

// Names in the order a user expects: case-insensitive, ties by the exact
// name; names starting with "." are hidden entries and left out.
QStringList listing(const QString &folder, QDir::Filters kind)
{
    QStringList names = QDir(folder).entryList(kind | QDir::NoDotAndDotDot);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString &n) { return n.startsWith(QLatin1Char('.')); }),
                names.end());
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

} // namespace

Form3::Form3(const QString &coverFolder, Attach attach, Prompter &prompter, QWidget *parent)
    : QDialog(parent), m_attach(std::move(attach)), m_prompter(prompter)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Attach Image Cover to MP3 Track(s)"));
    setModal(true);

    buildControls();

    for (const DriveList::Drive &d : DriveList::availableDrives())
        m_drives->addItem(d.label, d.rootPath);
    m_drives->addItem(QStringLiteral("Choose a folder..."));
    m_drives->setItemData(m_drives->count() - 1, true, ChooseFolderRole);

    connect(m_drives, &QComboBox::activated, this, &Form3::driveActivated);
    connect(m_dirs, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { setFolder(item->data(PathRole).toString()); });
    // The preview follows the chosen file, by mouse or by keyboard.
    connect(m_files, &QListWidget::itemSelectionChanged, this, &Form3::fileChosen);

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
    if (coverFolder.isEmpty() || !setFolder(coverFolder))
        setFolder(QDir::homePath());
}

// The three frames and the two buttons, placed in twips as the dialog was
// laid out.
void Form3::buildControls()
{
    const double dpi = logicalDpiX();
    const auto px = [dpi](int twips) { return twipsToPixels(twips, dpi); };
    const auto place = [&](QWidget *w, int left, int top, int width, int height) {
        w->setGeometry(px(left), px(top), px(width), px(height));
    };
    setFixedSize(px(9465), px(5130));

    auto *frame1 = new QGroupBox(QStringLiteral("Drive/Directory"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    place(frame1, 120, 360, 3015, 4215);
    m_drives = new QComboBox(frame1);
    m_drives->setObjectName(QStringLiteral("Drive1"));
    m_drives->setAccessibleName(QStringLiteral("Drive"));
    place(m_drives, 120, 240, 2775, 315);
    m_dirs = new QListWidget(frame1);
    m_dirs->setObjectName(QStringLiteral("Dir1"));
    m_dirs->setAccessibleName(QStringLiteral("Folder"));
    place(m_dirs, 120, 720, 2655, 3240);

    auto *frame2 = new QGroupBox(QStringLiteral("Image File"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    place(frame2, 3240, 360, 2655, 4215);
    m_files = new QListWidget(frame2);
    m_files->setObjectName(QStringLiteral("File1"));
    m_files->setAccessibleName(QStringLiteral("Image file"));
    place(m_files, 120, 240, 2415, 3795);

    auto *frame3 = new QGroupBox(QStringLiteral("Preview"), this);
    frame3->setObjectName(QStringLiteral("Frame3"));
    place(frame3, 6000, 360, 3375, 4215);
    m_image = new QLabel(frame3);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setToolTip(QStringLiteral("Preview Image"));
    m_image->setAccessibleName(QStringLiteral("Preview Image"));
    m_image->setAlignment(Qt::AlignCenter);
    place(m_image, 120, 720, 3135, 3015);
    m_image->hide();

    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    place(cancel, 6960, 4680, 1215, 375);
    auto *okButton = new QPushButton(QStringLiteral("&Ok"), this);
    okButton->setObjectName(QStringLiteral("Command1"));
    okButton->setAccessibleName(QStringLiteral("Ok"));
    okButton->setDefault(true); // Enter attaches
    place(okButton, 8280, 4680, 1095, 375);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(okButton, &QPushButton::clicked, this, &Form3::ok);
}

bool Form3::setFolder(const QString &path)
{
    const QDir dir(path);
    if (path.isEmpty() || !dir.exists() || !dir.isReadable())
        return false;
    const QString folder = QDir::cleanPath(dir.absolutePath());
    m_folder = folder;

    // The folder list: the folder's ancestors from the root down, the
    // folder itself, then its subfolders, each level indented.
    m_dirs->clear();
    QStringList chain;
    for (QDir up(folder);; ) {
        chain.prepend(up.absolutePath());
        if (up.isRoot() || !up.cdUp())
            break;
    }
    int depth = 0;
    for (const QString &level : chain) {
        const QString name = QDir(level).isRoot() ? level : QDir(level).dirName();
        auto *item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, m_dirs);
        item->setData(PathRole, level);
        ++depth;
    }
    m_dirs->setCurrentRow(m_dirs->count() - 1);
    for (const QString &sub : listing(folder, QDir::Dirs)) {
        auto *item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + sub, m_dirs);
        item->setData(PathRole, CoverAttach::folderWithSeparator(folder) + sub);
    }

    m_files->clear();
    m_files->addItems(listing(folder, QDir::Files));
    return true;
}

bool Form3::chooseFile(const QString &name)
{
    const QList<QListWidgetItem *> found = m_files->findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    m_files->setCurrentItem(found.first());
    return true;
}

void Form3::driveActivated(int index)
{
    QString root = m_drives->itemData(index).toString();
    if (m_drives->itemData(index, ChooseFolderRole).toBool())
        root = m_prompter.chooseFolder(QStringLiteral("Choose a folder"), m_folder);
    setFolder(root); // a drive without a disc is ignored
}

void Form3::fileChosen()
{
    // The current item is not yet the new one while the selection changes.
    const QList<QListWidgetItem *> chosen = m_files->selectedItems();
    if (!chosen.isEmpty())
        showPreview(CoverAttach::coverPath(m_folder, chosen.first()->text()));
}

void Form3::showPreview(const QString &path)
{
    const QPixmap picture(path);
    if (picture.isNull()) {
        m_image->hide();
        return;
    }
    m_image->setPixmap(picture.scaled(m_image->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_image->show();
}

void Form3::ok()
{
    const QListWidgetItem *file = m_files->currentItem();
    if (!file || !file->isSelected()) {
        m_prompter.message(QStringLiteral("You must choose a graphic or 'cancel'."), Prompter::Icon::Warning);
        return;
    }
    if (!m_attach(CoverAttach::coverPath(m_folder, file->text())))
        return;
    accept();
}
