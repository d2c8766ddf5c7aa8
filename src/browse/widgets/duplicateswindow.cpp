#include "browse/widgets/duplicateswindow.h"

#include "catalogue/extensionline.h"
#include "catalogue/rowstore.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Groups shown at most: a catalogue of a collector's backups may hold a
// hundred thousand; the largest come first.
constexpr size_t MostGroupsShown = 5000;

QString playingTime(QByteArrayView facts)
{
    const auto tenths = ExtensionLine::tenthsValue(facts, "dur");
    if (!tenths)
        return {};
    const qint64 seconds = (*tenths + 5) / 10;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

DuplicatesWindow::Found DuplicatesWindow::find(const RowStore &rows)
{
    Duplicates::Finder finder;
    finder.addAll(rows);
    return {finder.groups(Duplicates::Kind::Audio), finder.groups(Duplicates::Kind::Song)};
}

QStringList DuplicatesWindow::headers()
{
    return {QStringLiteral("Source"), QStringLiteral("Online"),   QStringLiteral("Playing time"),
            QStringLiteral("Artist"), QStringLiteral("Title"),    QStringLiteral("Filename")};
}

DuplicatesWindow::DuplicatesWindow(const RowStore &rows, Found found, Online online, QWidget *parent)
    : QDialog(parent), m_rows(rows), m_found(std::move(found)), m_online(std::move(online))
{
    setObjectName(QStringLiteral("DuplicatesWindow"));
    setWindowTitle(QStringLiteral("Duplicates"));
    setAccessibleName(windowTitle());
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("cboKind"));
    m_kind->setAccessibleName(QStringLiteral("Kind"));
    m_kind->addItems({Duplicates::kindTitle(Duplicates::Kind::Audio), Duplicates::kindTitle(Duplicates::Kind::Song)});
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("lstDuplicates"));
    m_tree->setAccessibleName(QStringLiteral("Duplicates"));
    m_tree->setHeaderLabels(headers());
    m_tree->setUniformRowHeights(true);
    m_tree->header()->setStretchLastSection(true);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    auto *top = new QHBoxLayout;
    top->addWidget(m_kind);
    top->addWidget(m_summary, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_tree);
    layout->addWidget(buttons);

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &DuplicatesWindow::fill);
    fill();
    resize(860, 420);
}

void DuplicatesWindow::fill()
{
    const std::vector<Duplicates::Group> &groups = m_kind->currentIndex() == 0 ? m_found.audio : m_found.song;
    m_tree->clear();
    const QLocale locale;
    size_t copies = 0;
    for (const Duplicates::Group &group : groups)
        copies += group.rows.size();
    QList<QTreeWidgetItem *> items;
    for (size_t g = 0; g < groups.size() && g < MostGroupsShown; ++g) {
        const Duplicates::Group &group = groups[g];
        const qsizetype first = group.rows.front();
        auto *item = new QTreeWidgetItem(QStringList{QStringLiteral("%1 copies").arg(group.rows.size())});
        item->setText(ArtistColumn, m_rows.field(first, FieldArtist));
        item->setText(TitleColumn, m_rows.field(first, FieldTrack));
        for (const qsizetype row : group.rows) {
            const QString source = m_rows.field(row, FieldSource);
            const std::optional<bool> online = m_online(source);
            auto *copy = new QTreeWidgetItem(
                item, QStringList{source, online ? (*online ? QStringLiteral("Online") : QStringLiteral("Offline")) : QString(),
                                  playingTime(m_rows.extensionUtf8(row)), m_rows.field(row, FieldArtist),
                                  m_rows.field(row, FieldTrack), m_rows.field(row, FieldFilename)});
            if (online == false) {
                for (int column = 0; column < copy->columnCount(); ++column)
                    copy->setForeground(column, palette().brush(QPalette::Disabled, QPalette::Text));
            }
        }
        items.append(item);
    }
    m_tree->addTopLevelItems(items);
    if (items.size() <= 200)
        m_tree->expandAll();
    for (int column = 0; column < FilenameColumn; ++column)
        m_tree->resizeColumnToContents(column);
    if (!items.isEmpty())
        m_tree->setCurrentItem(items.first());
    QString summary = groups.empty() ? QStringLiteral("No duplicates")
                                     : QStringLiteral("%1 %2, %3 copies")
                                           .arg(locale.toString(qlonglong(groups.size())),
                                                groups.size() == 1 ? QStringLiteral("group") : QStringLiteral("groups"),
                                                locale.toString(qlonglong(copies)));
    if (groups.size() > MostGroupsShown)
        summary += QStringLiteral(" (the largest %1 groups shown)").arg(locale.toString(qlonglong(MostGroupsShown)));
    m_summary->setText(summary);
}
