#include "app/widgets/listcolumns.h"

#include "app/widgets/mainplacement.h"
#include "base/platform/platform.h"
#include "base/twips.h"
#include "base/widgets/rowlist.h"
#include "catalogue/factcolumns.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>

ListColumns::ListColumns(RowList &list, MainPlacement &placement, Platform &platform, QWidget *window)
    : QObject(window), m_list(list), m_placement(placement), m_platform(platform)
{
    m_menu = new QMenu(QStringLiteral("&Columns"), window);
    m_menu->setObjectName(QStringLiteral("mnuColumns"));
    const QStringList headers = FactColumns::headers();
    for (int column = FactColumns::First; column < FactColumns::end(); ++column) {
        QAction *action = m_menu->addAction(headers.at(column - FactColumns::First));
        action->setObjectName(QStringLiteral("mnuColumn_") + FactColumns::key(column));
        action->setCheckable(true);
        connect(action, &QAction::toggled, this, [this, column](bool shown) { setShown(column, shown); });
    }
    QHeaderView *header = m_list.header();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this,
            [this, header](const QPoint &at) { m_menu->popup(header->mapToGlobal(at)); });
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        // A hidden column reads as width 0, and a width the window gave is not the user's.
        if (FactColumns::isFactColumn(column) && size > 0 && !m_placement.applyingWidths())
            m_placement.factWidths[size_t(column - FactColumns::First)] = float(pixelsToTwips(size, m_placement.dpi()));
    });
}

void ListColumns::setShown(int column, bool shown)
{
    QHeaderView *header = m_list.header();
    if (header->isSectionHidden(column) != shown)
        return;
    header->setSectionHidden(column, !shown);
    if (shown)
        header->resizeSection(column, m_placement.px(m_placement.factWidths[size_t(column - FactColumns::First)]));
    m_placement.fillListWidth();
}

void ListColumns::restore()
{
    QList<int> shown;
    for (const QString &item : m_platform.listColumns()) {
        // "dur=1200": the fact's key and the column's width in twips.
        const int column = FactColumns::columnOf(item.section(QLatin1Char('='), 0, 0));
        const double width = item.section(QLatin1Char('='), 1).toDouble();
        if (column < 0)
            continue;
        if (width > 0 && width < 30000)
            m_placement.factWidths[size_t(column - FactColumns::First)] = float(width);
        shown << column;
    }
    for (QAction *action : m_menu->actions()) {
        const int column = FactColumns::columnOf(action->objectName().section(QLatin1Char('_'), 1));
        const bool show = shown.contains(column);
        const QSignalBlocker quiet(action);
        action->setChecked(show);
        m_list.header()->setSectionHidden(column, true);
        setShown(column, show);
    }
}

void ListColumns::remember()
{
    QStringList shown;
    for (int column = FactColumns::First; column < FactColumns::end(); ++column) {
        if (!m_list.header()->isSectionHidden(column))
            shown << FactColumns::key(column) + QLatin1Char('=') +
                         QString::number(m_placement.factWidths[size_t(column - FactColumns::First)]);
    }
    m_platform.setListColumns(shown);
}
