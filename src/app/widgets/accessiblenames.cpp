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
    if (!widget.toolTip().isEmpty())
        return widget.toolTip();
    const QString role = roleOf(widget);
    if (role.isEmpty())
        return {};
    // The control's name tells two of a kind apart ("List ListView2").
    return widget.objectName().isEmpty() ? role : role + QLatin1Char(' ') + widget.objectName();
}

void apply(QWidget &widget)
{
    // A window's name is its title, always current; a label's text is its
    // name already, and it may change too.
    if (widget.isWindow() || !widget.accessibleName().isEmpty() ||
        (qobject_cast<const QLabel *>(&widget) && !static_cast<QLabel &>(widget).text().isEmpty()))
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
