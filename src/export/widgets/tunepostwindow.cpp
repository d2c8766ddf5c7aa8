#include "export/widgets/tunepostwindow.h"

#include "export/widgets/exportwork.h"
#include "base/platform/platform.h"
#include "base/platform/prompter.h"
#include "base/platform/systempaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frmtunepost::frmtunepost(const RowStore &catalogue, Prompter &prompter, Platform &platform, QWidget *parent)
    : QDialog(parent), m_catalogue(catalogue), m_prompter(prompter), m_platform(platform)
{
    setObjectName(QStringLiteral("frmtunepost"));
    setWindowTitle(QStringLiteral("tunepost Compatible m3u Export"));
    if (parent)
        setWindowIcon(parent->windowIcon());

    auto *frame = new QGroupBox(QStringLiteral(" Export "), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setAccessibleName(QStringLiteral("Export"));
    m_list = new QListWidget(frame);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setAccessibleName(QStringLiteral("Files written"));
    m_list->setMinimumSize(330, 160);

    const auto button = [&](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, frame);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(caption);
        m_buttons << b;
        return b;
    };
    QPushButton *exportButton = button("Command1", QStringLiteral("Export"));
    QPushButton *done = button("Command2", QStringLiteral("Done"));
    QPushButton *site = button("Command4", QStringLiteral("tunepost"));
    QPushButton *help = button("Command3", QStringLiteral("Help"));
    connect(exportButton, &QPushButton::clicked, this, &frmtunepost::exportLists);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    connect(site, &QPushButton::clicked, this, [this] { m_platform.shellOpen(serviceAddress()); });
    connect(help, &QPushButton::clicked, this, [this] {
        m_prompter.message(helpText(), Prompter::Icon::Information, Prompter::Buttons::Ok, QStringLiteral("HELP"));
    });

    auto *column = new QVBoxLayout;
    column->addWidget(exportButton);
    column->addWidget(done);
    column->addSpacing(24);
    column->addWidget(site);
    column->addWidget(help);
    column->addStretch();
    auto *inside = new QHBoxLayout(frame);
    inside->addWidget(m_list, 1);
    inside->addLayout(column);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
}

QString frmtunepost::serviceAddress()
{
    return QStringLiteral("https://tunepost.example.org/");
}

QString frmtunepost::helpText()
{
    return QStringLiteral("This type of m32 'playlist' will not work with any MP3 player.  Instead these files are "
                          "compatible with the m3u upload requirements of %1.  This beta version does not allow you "
                          "to choose the destination directory.  Instead all files are exported to %2")
        .arg(serviceAddress(), QDir::toNativeSeparators(SystemPaths::desktopFolder() + QLatin1Char('/')));
}

void frmtunepost::setButtonsEnabled(bool enabled)
{
    for (QPushButton *b : std::as_const(m_buttons))
        b->setEnabled(enabled);
}

void frmtunepost::exportLists()
{
    QPointer<QListWidget> list = m_list;
    constexpr auto kind = ExportFlow::Kind::Tunepost;
    ExportFlow::Hooks hooks;
    hooks.begun = [list](const QString &path) {
        QMetaObject::invokeMethod(
            list, [list, path] { if (list) list->addItem(QDir::toNativeSeparators(path)); }, Qt::QueuedConnection);
    };
    setButtonsEnabled(false);
    const bool started = startExport(this, m_work, m_prompter,
                {kind, m_catalogue, ExportFlow::targetIn(kind, ExportFlow::defaultFolder(kind)),
                 QStringLiteral("Writing the lists..."), StopOffer::None, hooks},
                [this](const ExportFlow::Outcome &) {
                    QCoreApplication::sendPostedEvents(m_list); // the names of files begun at the very end
                    setButtonsEnabled(true);
                });
    if (!started)
        setButtonsEnabled(true);
}

frmtunepost::~frmtunepost()
{
    if (m_work)
        m_work->waitForFinished();
}
