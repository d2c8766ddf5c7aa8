#include "base/widgets/listlook.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProxyStyle>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace ListLook {

namespace {

// Qt's header asks for a downward arrow for the ascending order, which on
// this desktop reads as descending; the arrow is drawn the other way round.
class SortArrowStyle : public QProxyStyle
{
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_IndicatorHeaderArrow) {
            if (const auto *header = qstyleoption_cast<const QStyleOptionHeader *>(option)) {
                QStyleOptionHeader flipped(*header);
                if (header->sortIndicator == QStyleOptionHeader::SortDown)
                    flipped.sortIndicator = QStyleOptionHeader::SortUp;
                else if (header->sortIndicator == QStyleOptionHeader::SortUp)
                    flipped.sortIndicator = QStyleOptionHeader::SortDown;
                QProxyStyle::drawPrimitive(element, &flipped, painter, widget);
                return;
            }
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

// A list with uniform row heights measures the columns in view: once the
// icon column is scrolled away the rows would shrink to the text's height.
// Every row is as tall as one with an icon.
class RowHeightDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), heightOf(option)));
        return size;
    }

    static int heightOf(const QStyleOptionViewItem &option)
    {
        QStyleOptionViewItem probe(option);
        probe.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        probe.text = QStringLiteral("Xg");
        if (!probe.decorationSize.isValid())
            probe.decorationSize = QSize(16, 16);
        const QWidget *widget = option.widget;
        const QStyle *style = widget ? widget->style() : QApplication::style();
        return style->sizeFromContents(QStyle::CT_ItemViewItem, &probe, QSize(), widget).height();
    }
};

// Keeps the hint over the list's viewport and shows it while there are no rows.
class EmptyHint : public QObject
{
public:
    EmptyHint(QAbstractItemView *list, const QString &text) : QObject(list), m_list(list)
    {
        m_label = new QLabel(text, list->viewport());
        m_label->setObjectName(QStringLiteral("emptyHint"));
        m_label->setAlignment(Qt::AlignCenter);
        m_label->setWordWrap(true);
        m_label->setEnabled(false); // drawn in the dimmed text colour
        m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
        list->viewport()->installEventFilter(this);
        if (QAbstractItemModel *model = list->model()) {
            for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
                connect(model, signal, this, &EmptyHint::update);
            connect(model, &QAbstractItemModel::modelReset, this, &EmptyHint::update);
            connect(model, &QAbstractItemModel::layoutChanged, this, &EmptyHint::update);
        }
        update();
    }

    QLabel *label() const { return m_label; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            m_label->setGeometry(m_list->viewport()->rect().adjusted(12, 12, -12, -12));
        return QObject::eventFilter(watched, event);
    }

private:
    void update()
    {
        const QAbstractItemModel *model = m_list->model();
        m_label->setGeometry(m_list->viewport()->rect().adjusted(12, 12, -12, -12));
        m_label->setVisible(!model || model->rowCount() == 0);
    }

    QAbstractItemView *m_list;
    QLabel *m_label = nullptr;
};

} // namespace

void apply(QTreeView *list)
{
    apply(list, list->header());
}

void apply(QAbstractItemView *list, QHeaderView *header)
{
    list->setTextElideMode(Qt::ElideMiddle);
    list->setItemDelegate(new RowHeightDelegate(list));
    auto *style = new SortArrowStyle;
    style->setParent(header);
    header->setStyle(style);
    showSortArrow(header, -1);
}

int rowHeight(const QWidget *widget)
{
    QStyleOptionViewItem option;
    option.initFrom(widget);
    option.widget = widget;
    option.font = widget->font();
    option.fontMetrics = widget->fontMetrics();
    const int icon = widget->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, widget);
    option.decorationSize = QSize(icon, icon);
    return RowHeightDelegate::heightOf(option);
}

void showSortArrow(QHeaderView *header, int column)
{
    if (column < 0) {
        header->setSortIndicatorShown(false);
        return;
    }
    header->setSortIndicator(column, Qt::AscendingOrder);
    header->setSortIndicatorShown(true);
}

int sortArrowColumn(const QHeaderView *header)
{
    return header->isSortIndicatorShown() ? header->sortIndicatorSection() : -1;
}

QLabel *addEmptyHint(QAbstractItemView *list, const QString &text)
{
    return (new EmptyHint(list, text))->label();
}

} // namespace ListLook
