#include "export/widgets/libraryexportwindow.h"

#include "store/widgets/appicons.h"
#include "export/exportflow.h"
#include "export/libraryfile.h"
#include "store/widgets/longwork.h"
#include "store/platform/prompter.h"

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
    // An existing file is refused before the window goes busy.
    const ExportFlow::Outcome checked = ExportFlow::checkTarget(ExportFlow::Kind::Library, path);
    if (!checked) {
        ExportFlow::report(checked, m_prompter);
        return;
    }
    const RowStore &rows = m_catalogue;
    auto progress = std::make_shared<WorkProgress>();
    m_work = LongWork::start(
        this, LongWork::Shown{QStringLiteral("Creating the library..."), StopOffer::Offered, {}},
        [&rows, path](WorkProgress &progress) {
            ExportFlow::Hooks hooks;
            hooks.progress = [&progress](qsizetype i, qsizetype n) { return progress.step(i, n); };
            return ExportFlow::write(ExportFlow::Kind::Library, rows, path, hooks);
        },
        [this, progress](const ExportFlow::Outcome &written) {
            m_work.clear();
            if (!written && progress->stopped())
                return; // the user stopped it: nothing was written, as asked
            ExportFlow::report(written, m_prompter);
        },
        progress);
}

exODL::~exODL()
{
    if (m_work)
        m_work->waitForFinished();
}
