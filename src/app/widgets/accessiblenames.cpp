#include "app/widgets/accessiblenames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

namespace AccessibleNames {

namespace {

QString withoutMnemonic(QString text)
{
    // "&&" stands for a literal "&".
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text; // blanks and all: " Status " is the frame's caption
}

bool isBlank(const QString &text)
{
    return text.trimmed().isEmpty();
}

// Roles of the controls that show data rather than a caption.
QString roleOf(const QWidget &widget)
{
    if (qobject_cast<const QAbstractItemView *>(&widget))
        return QStringLiteral("List");
    if (qobject_cast<const QComboBox *>(&widget))
        return QStringLiteral("Choice");
    if (qobject_cast<const QLineEdit *>(&widget))
        return QStringLiteral("Text field");
    if (qobject_cast<const QProgressBar *>(&widget))
        return QStringLiteral("Progress");
    if (qobject_cast<const QLabel *>(&widget))
        return QStringLiteral("Picture");
    if (qobject_cast<const QGroupBox *>(&widget))
        return QStringLiteral("Group");
    return {};
}

// The text of the label that names widget beside it (its buddy).
QString buddyText(const QWidget &widget)
{
    const QWidget *window = widget.window();
    if (!window)
        return {};
    for (const QLabel *label : window->findChildren<QLabel *>())
        if (label->buddy() == &widget)
            return withoutMnemonic(label->text()).trimmed();
    return {};
}

// The title of the frame widget sits in, if it sits in a titled one.
QString frameTitle(const QWidget &widget)
{
    for (const QWidget *w = widget.parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        if (const auto *frame = qobject_cast<const QGroupBox *>(w))
            if (const QString title = withoutMnemonic(frame->title()).trimmed(); !title.isEmpty())
                return title;
    return {};
}

class Namer : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Polish && watched->isWidgetType())
            apply(*static_cast<QWidget *>(watched));
        return false;
    }
};

} // namespace

QString nameFor(const QWidget &widget)
{
    QString caption;
    if (const auto *button = qobject_cast<const QAbstractButton *>(&widget))
        caption = button->text();
    else if (const auto *frame = qobject_cast<const QGroupBox *>(&widget))
        caption = frame->title();
    else if (widget.isWindow())
        caption = widget.windowTitle();
    caption = withoutMnemonic(caption);
    if (!isBlank(caption))
        return caption;
    if (const QString buddy = buddyText(widget); !buddy.isEmpty())
        return buddy;
    if (!widget.toolTip().isEmpty())
        return widget.toolTip();
    const QString role = roleOf(widget);
    if (role.isEmpty())
        return {};
    // Never the object name, which no user reads: the frame it sits in
    // tells two of a kind apart, else the role alone.
    const QString frame = qobject_cast<const QGroupBox *>(&widget) ? QString() : frameTitle(widget);
    return frame.isEmpty() ? role : frame;
}

void apply(QWidget &widget)
{
    // A window's name is its title, always current; a label's text is its
    // name already, and it may change too: a label still empty when shown
    // (a count filled in later) is left to its text unless it shows a picture.
    if (widget.isWindow() || !widget.accessibleName().isEmpty())
        return;
    if (const auto *label = qobject_cast<const QLabel *>(&widget);
        label && (!label->text().isEmpty() || (label->pixmap().isNull() && label->toolTip().isEmpty())))
        return;
    // Plain containers (the central widget, a list's viewport) are not
    // controls of their own.
    const QString name = nameFor(widget);
    if (!name.isEmpty())
        widget.setAccessibleName(name);
}

void installForApplication()
{
    static Namer *namer = nullptr;
    if (namer || !qApp)
        return;
    namer = new Namer(qApp);
    qApp->installEventFilter(namer);
    for (QWidget *w : QApplication::allWidgets())
        apply(*w);
}

} // namespace AccessibleNames
