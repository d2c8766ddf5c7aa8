#include "media/widgets/verifywindow.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

VerifyWindow::VerifyWindow(const Verify::Outcome &outcome, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VerifyWindow"));
    setWindowTitle(QStringLiteral("Verification of %1").arg(outcome.source));
    setAccessibleName(windowTitle());
    auto *summary = new QLabel(Verify::summaryLine(outcome.source, outcome.counts), this);
    summary->setObjectName(QStringLiteral("lblSummary"));
    summary->setAccessibleName(summary->text());
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstVerified"));
    m_list->setAccessibleName(QStringLiteral("Files"));
    m_list->setHeaderLabels({QStringLiteral("Status"), QStringLiteral("Path"), QStringLiteral("Found")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    // Problems first; each kind in the walk's order, as the files were read.
    std::vector<const Verify::FileResult *> files;
    for (const Verify::FileResult &file : outcome.files)
        files.push_back(&file);
    std::stable_sort(files.begin(), files.end(), [](const Verify::FileResult *a, const Verify::FileResult *b) {
        return (a->status == Verify::Status::Ok) < (b->status == Verify::Status::Ok);
    });
    QList<QTreeWidgetItem *> items;
    for (const Verify::FileResult *file : files) {
        auto *item = new QTreeWidgetItem(
            QStringList{QString::fromLatin1(Verify::statusWord(file->status)), file->path, file->detail});
        item->setData(0, Qt::UserRole, qlonglong(file->row));
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    m_list->header()->resizeSections(QHeaderView::ResizeToContents);
    if (!items.isEmpty())
        m_list->setCurrentItem(items.first());

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *show = buttons->addButton(QStringLiteral("Show in &List"), QDialogButtonBox::ActionRole);
    show->setObjectName(QStringLiteral("cmdShowInList"));
    show->setEnabled(!items.isEmpty());
    QPushButton *close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    connect(show, &QPushButton::clicked, this, &VerifyWindow::showSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemActivated, this, &VerifyWindow::showSelected);
    resize(720, 360);
}

void VerifyWindow::showSelected()
{
    if (const QTreeWidgetItem *item = m_list->currentItem())
        Q_EMIT selectRequested(qsizetype(item->data(0, Qt::UserRole).toLongLong()));
}
