#include "base/widgets/busystate.h"

#include <QApplication>

#include <QEvent>
#include <QWindow>

namespace {

// What a user does to a program: dropped in the busy window.
bool isUserInput(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// The window an input's receiver belongs to: a widget's own window, the
// window that opened a pop-up menu, the window of an action's or a
// shortcut's widget. Null for objects of no window.
QWidget *windowOf(QObject *receiver)
{
    while (receiver && !receiver->isWidgetType())
        receiver = receiver->parent();
    if (!receiver)
        return nullptr;
    QWidget *window = static_cast<QWidget *>(receiver)->window();
    while (window->windowType() == Qt::Popup && window->parentWidget())
        window = window->parentWidget()->window();
    return window;
}

} // namespace

BusyState::BusyState(QWidget *window, const QString &label, std::shared_ptr<WorkProgress> progress, StopOffer stop,
                     std::function<QString(const WorkProgress &)> describe)
    : m_window(window), m_progress(std::move(progress)), m_describe(std::move(describe)), m_shown(label, QString(), 0, 0)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Input reaches a window's controls, its menus and its actions, none of
    // which a filter on the window itself would see; this filter drops only
    // what belongs to the busy window and lets every other window be.
    qApp->installEventFilter(this);
    m_shown.setWindowTitle(QStringLiteral("Ondro"));
    // The busy window is disabled behind it: no other window need wait.
    m_shown.setWindowModality(Qt::NonModal);
    if (stop == StopOffer::Offered) {
        m_shown.setCancelButtonText(QStringLiteral("&Stop"));
        connect(&m_shown, &QProgressDialog::canceled, this, [this] {
            m_progress->requestStop();
            m_shown.setLabelText(QStringLiteral("Stopping..."));
        });
    } else {
        m_shown.setCancelButton(nullptr);
    }
    m_shown.setMinimumDuration(0);
    m_shown.setAutoReset(false);
    m_shown.setAutoClose(false);
    m_shown.reset(); // hidden until poll() decides otherwise
    connect(&m_poll, &QTimer::timeout, this, &BusyState::poll);
    m_poll.start(ProgressPollMs);
}

BusyState::~BusyState()
{
    m_poll.stop();
    m_shown.hide();
    if (m_disabledWindow && m_window)
        m_window->setEnabled(true);
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

bool BusyState::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_window || !(isUserInput(event) || event->type() == QEvent::Close))
        return QObject::eventFilter(watched, event);
    QWidget *const busyWindow = m_window->window();
    // Only the window system's request to close the busy window waits; the
    // program's own closes, and every other window's, always go through.
    const bool held = event->type() == QEvent::Close ? watched == busyWindow && event->spontaneous()
                                                     : windowOf(watched) == busyWindow;
    if (!held)
        return QObject::eventFilter(watched, event);
    event->ignore();
    return true;
}

void BusyState::poll()
{
    if (++m_ticks < ShowProgressAfterTicks)
        return;
    if (m_ticks == ShowProgressAfterTicks && m_window) {
        // Kept above the window it stands for by the window manager.
        if (QWindow *above = m_window->window()->windowHandle()) {
            m_shown.winId();
            m_shown.windowHandle()->setTransientParent(above);
        }
        if (m_window->isEnabled()) {
            m_window->setEnabled(false);
            m_disabledWindow = true;
        }
    }
    const qint64 total = m_progress->total.load(std::memory_order_relaxed);
    const qint64 done = m_progress->done.load(std::memory_order_relaxed);
    // Whole percent of the rows, or a busy bar when the work cannot tell.
    // Setting a value may show the window by itself.
    m_shown.setMaximum(total > 0 ? 100 : 0);
    m_shown.setValue(total > 0 ? int(std::min<qint64>(100, 100 * done / total)) : 0);
    if (m_describe && !m_progress->stopped())
        m_shown.setLabelText(m_describe(*m_progress));
    if (!m_shown.isVisible())
        m_shown.show();
}
