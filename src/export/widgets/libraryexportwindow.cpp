#include "export/widgets/libraryexportwindow.h"

#include "base/widgets/appicons.h"
#include "export/libraryfile.h"
#include "export/widgets/exportwork.h"
#include "base/platform/prompter.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

exODL::exODL(const RowStore &catalogue, Prompter &prompter, QString &fileName, QWidget *parent)
    : QDialog(parent), m_catalogue(catalogue), m_prompter(prompter), m_fileName(fileName)
{
    setObjectName(QStringLiteral("exODL"));
    setWindowTitle(QStringLiteral("Create Ondrolib"));
    if (parent)
        setWindowIcon(parent->windowIcon());

    auto *text = new QPlainTextEdit(this);
    text->setObjectName(QStringLiteral("Text2"));
    text->setReadOnly(true);
    text->setPlainText(QStringLiteral("Ondrolib (ODL) is a format that allows people to trade information\n"
                                      "about their collections.  Instead of just being a file list - it contains\n"
                                      "all the important information about your files.  Ondro currently supports\n"
                                      "ODL v1.0 for exporting and importing.\n"));
    text->setAccessibleName(QStringLiteral("About Ondrolib"));
    text->setMinimumSize(470, 90);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(AppIcons::libraryTrackIcon().pixmap(48, 48));
    picture->setAccessibleName(QStringLiteral("Ondrolib picture"));

    auto *createButton = new QPushButton(QStringLiteral("Create"), this);
    createButton->setObjectName(QStringLiteral("Command3"));
    createButton->setAccessibleName(QStringLiteral("Create"));
    createButton->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    connect(createButton, &QPushButton::clicked, this, &exODL::create);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(createButton);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

QString exODL::fileFilter()
{
    return QStringLiteral("ODL Files (*.odl)");
}

void exODL::create()
{
    if (isBusy())
        return;
    const QString chosen = m_prompter.saveFileName(QStringLiteral("Create Ondrolib"), fileFilter(), m_fileName);
    if (chosen.isEmpty())
        return;
    const QString path = LibraryFile::withLibraryExtension(chosen);
    m_fileName = path;
    startExport(this, m_work, m_prompter,
                {ExportFlow::Kind::Library, m_catalogue, path, QStringLiteral("Creating the library..."),
                 StopOffer::Offered, {}});
}

exODL::~exODL()
{
    if (m_work)
        m_work->waitForFinished();
}
