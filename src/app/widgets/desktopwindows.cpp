#include "app/widgets/desktopwindows.h"

#include "app/widgets/accessiblenames.h"
#include "base/widgets/appicons.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace DesktopWindows {

namespace {

bool hasOwnFrame(const QWidget *window)
{
    return window->frameGeometry() != window->geometry();
}

// Polls a newly shown window until the window manager has framed it (a
// few seconds at most: without a window manager no frame ever comes), then
// fits it inside the screen with its real frame and title bar.
void fitOnceFramed(QWidget *window)
{
    constexpr int IntervalMs = 50;
    constexpr int MaxPolls = 100;
    auto *poll = new QTimer(window);
    poll->setInterval(IntervalMs);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll, polls = 0]() mutable {
        const bool framed = hasOwnFrame(window);
        if (!framed && ++polls < MaxPolls)
            return;
        poll->stop();
        poll->deleteLater();
        if (framed && window->isVisible())
            fitInside(window);
    });
    poll->start();
}

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
                // The size now; the place once the window has taken its own
                // (a dialog centres itself over its owner as it shows), and
                // again once the window manager has told the frame's size,
                // however long that takes on a busy machine.
                fitSizeInside(widget);
                QTimer::singleShot(0, widget, [widget] {
                    if (widget->isVisible())
                        fitInside(widget);
                });
                fitOnceFramed(widget);
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
    AccessibleNames::installForApplication();
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

QMargins frameMargins(const QWidget *window)
{
    // The frame of any window the window manager has decorated: until a
    // window is first mapped its own frame is not known, and the frames of
    // one program's windows are alike.
    static QMargins lastKnown;
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    const QMargins own(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                       outer.bottom() - inner.bottom());
    if (!own.isNull())
        lastKnown = own;
    return own.isNull() ? lastKnown : own;
}

// The frame with a pixel more on each side at a fractional scale (1.25):
// its device pixels rounded to whole logical ones may fall short by one,
// and a window a device pixel taller than the screen is placed by the
// window manager at its own will, title bar above the screen.
static QMargins roomyFrame(const QWidget *window)
{
    const QMargins frame = frameMargins(window);
    const qreal ratio = window->devicePixelRatioF();
    return ratio == qreal(int(ratio)) ? frame : frame + QMargins(1, 1, 1, 1);
}

void fitSizeInside(QWidget *window)
{
    const QRect area = availableArea(window);
    if (!area.isValid() || window->isMaximized() || window->isFullScreen())
        return;
    const QSize room = area.marginsRemoved(roomyFrame(window)).size();
    if (window->minimumWidth() > room.width() || window->minimumHeight() > room.height())
        window->setMinimumSize(window->minimumSize().boundedTo(room));
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
}

void fitInside(QWidget *window)
{
    const QRect area = availableArea(window);
    if (!area.isValid() || window->isMaximized() || window->isFullScreen())
        return;
    fitSizeInside(window);
    const QMargins frame = roomyFrame(window);
    const QRect outer = window->geometry().marginsAdded(frame);
    int left = std::min(outer.left(), area.right() + 1 - outer.width());
    int top = std::min(outer.top(), area.bottom() + 1 - outer.height());
    left = std::max(left, area.left());
    top = std::max(top, area.top());
    if (left != outer.left() || top != outer.top())
        window->move(left, top);
}

} // namespace DesktopWindows
