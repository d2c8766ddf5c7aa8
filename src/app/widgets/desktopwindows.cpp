#include "app/widgets/desktopwindows.h"

#include "app/widgets/appicons.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace DesktopWindows {

namespace {

class ScreenFitFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->windowType() == Qt::Window || widget->windowType() == Qt::Dialog) {
                fitInside(widget);
                // The window manager tells the frame's size only once the
                // window is mapped: check again with the title bar known.
                QTimer::singleShot(250, widget, [widget] {
                    if (widget->isVisible())
                        fitInside(widget);
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("ondro"));
    QApplication::setApplicationVersion(QStringLiteral("2.6"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.ondro"));
    install();
}

void install()
{
    static ScreenFitFilter *filter = nullptr;
    if (!qApp)
        return;
    QApplication::setWindowIcon(AppIcons::programIcon());
    if (!filter) {
        filter = new ScreenFitFilter(qApp);
        qApp->installEventFilter(filter);
    }
}

QRect availableArea(const QWidget *widget)
{
    const QScreen *screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void fitInside(QWidget *window)
{
    const QRect area = availableArea(window);
    if (!area.isValid() || window->isMaximized() || window->isFullScreen())
        return;
    // Before a window is first mapped its frame is not known yet and counts as none.
    const QSize frame = (window->frameGeometry().size() - window->size()).expandedTo(QSize(0, 0));
    const QSize room = area.size() - frame;
    if (window->minimumWidth() > room.width() || window->minimumHeight() > room.height())
        window->setMinimumSize(window->minimumSize().boundedTo(room));
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
    QRect outer = window->frameGeometry();
    outer.setSize(window->size() + frame);
    int left = std::min(outer.left(), area.right() + 1 - outer.width());
    int top = std::min(outer.top(), area.bottom() + 1 - outer.height());
    left = std::max(left, area.left());
    top = std::max(top, area.top());
    if (left != outer.left() || top != outer.top())
        window->move(left, top);
}

} // namespace DesktopWindows
