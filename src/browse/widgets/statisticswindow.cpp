#include "browse/widgets/statisticswindow.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { KeyColumn, EntriesColumn, SizeColumn, TimeColumn };

// The number a cell sorts by: the key's place in Statistics::keyOrder, or
// the count, bytes or tenths it shows.
constexpr int SortRole = Qt::UserRole;

class Cell : public QTableWidgetItem
{
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem &other) const override
    {
        return data(SortRole).toLongLong() < other.data(SortRole).toLongLong();
    }
};

QTableWidgetItem *cell(const QString &text, qint64 sortNumber, bool number)
{
    auto *item = new Cell(text);
    item->setData(SortRole, sortNumber);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

QString StatisticsWindow::playingTime(qint64 tenths)
{
    const qint64 seconds = (tenths + 5) / 10;
    return QStringLiteral("%1:%2:%3")
        .arg(QLocale().toString(seconds / 3600))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString StatisticsWindow::summaryText(const Statistics::Report &report)
{
    const QLocale locale;
    QString text = QStringLiteral("%1 %2, %3, playing time %4")
                       .arg(locale.toString(report.entries),
                            report.entries == 1 ? QStringLiteral("entry") : QStringLiteral("entries"),
                            locale.formattedDataSize(report.bytes), playingTime(report.tenths));
    QStringList lacking;
    if (report.withoutSize > 0)
        lacking << QStringLiteral("%1 without a size").arg(locale.toString(report.withoutSize));
    if (report.withoutDuration > 0)
        lacking << QStringLiteral("%1 without a playing time").arg(locale.toString(report.withoutDuration));
    if (!lacking.isEmpty())
        text += QStringLiteral(" (%1)").arg(lacking.join(QStringLiteral(", ")));
    return text;
}

QStringList StatisticsWindow::headers(Statistics::Breakdown breakdown)
{
    const QString key = breakdown == Statistics::Breakdown::Bitrate ? QStringLiteral("Bitrate (kbps)")
                                                                     : Statistics::title(breakdown);
    return {key, QStringLiteral("Entries"), QStringLiteral("Size"),
            QStringLiteral("Playing time")};
}

StatisticsWindow::StatisticsWindow(Statistics::Report report, const QString &subtitle, QWidget *parent)
    : QDialog(parent), m_report(std::move(report))
{
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(QStringLiteral("Statistics"));
    setAccessibleName(windowTitle());
    auto *heading = new QLabel(subtitle, this);
    heading->setObjectName(QStringLiteral("lblSubtitle"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto *summary = new QLabel(summaryText(m_report), this);
    summary->setObjectName(QStringLiteral("lblSummary"));
    summary->setAccessibleName(QStringLiteral("Summary"));
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabBreakdowns"));
    tabs->setAccessibleName(QStringLiteral("Breakdowns"));
    for (const Statistics::Breakdown breakdown : Statistics::Breakdowns)
        tabs->addTab(tableOf(breakdown), Statistics::title(breakdown));

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *copyButton = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    copyButton->setObjectName(QStringLiteral("cmdCopy"));
    copyButton->setAccessibleName(QStringLiteral("Copy"));
    QPushButton *close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setAccessibleName(QStringLiteral("Close"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(summary);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttons);

    connect(copyButton, &QPushButton::clicked, this, &StatisticsWindow::copy);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(620, 460);
}

QTableWidget *StatisticsWindow::tableOf(Statistics::Breakdown breakdown)
{
    const std::vector<Statistics::Line> &lines = m_report.lines(breakdown);
    auto *table = new QTableWidget(int(lines.size()), TimeColumn + 1, this);
    table->setObjectName(QStringLiteral("tbl") + Statistics::title(breakdown));
    table->setAccessibleName(Statistics::title(breakdown));
    table->setHorizontalHeaderLabels(headers(breakdown));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(KeyColumn, QHeaderView::Stretch);
    const QLocale locale;
    std::vector<qint64> keyPlace(lines.size());
    const std::vector<size_t> order = Statistics::keyOrder(breakdown, lines);
    for (size_t i = 0; i < order.size(); ++i)
        keyPlace[order[i]] = qint64(i);
    for (int row = 0; row < int(lines.size()); ++row) {
        const Statistics::Line &line = lines[size_t(row)];
        table->setItem(row, KeyColumn, cell(line.key, keyPlace[size_t(row)], false));
        table->setItem(row, EntriesColumn, cell(locale.toString(line.entries), line.entries, true));
        // Blank rather than zero for lines none of whose entries know it.
        table->setItem(row, SizeColumn,
                       cell(line.bytes > 0 ? locale.formattedDataSize(line.bytes) : QString(), line.bytes, true));
        table->setItem(row, TimeColumn, cell(line.tenths > 0 ? playingTime(line.tenths) : QString(), line.tenths, true));
    }
    // As the report orders them (most entries first) until a header is
    // clicked; the sort is stable, so equal counts keep their order. The
    // indicator is shown first, so the widths leave room for it.
    table->horizontalHeader()->setSortIndicator(EntriesColumn, Qt::DescendingOrder);
    table->horizontalHeader()->setSortIndicatorShown(true);
    for (int column = EntriesColumn; column <= TimeColumn; ++column)
        table->resizeColumnToContents(column);
    table->setSortingEnabled(true);
    return table;
}

void StatisticsWindow::copy()
{
    QGuiApplication::clipboard()->setText(Statistics::tabSeparated(m_report));
}
