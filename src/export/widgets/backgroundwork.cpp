#include "export/widgets/backgroundwork.h"

#include <QEvent>

namespace {

// What a user does to a program: dropped while it is busy.
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
    case QEvent::Close:
        // A close asked by the window system; the program's own still go.
        return event->spontaneous();
    default:
        return false;
    }
}

} // namespace

BusyState::BusyState(QWidget *window, const QString &label, std::shared_ptr<BackgroundProgress> progress)
    : m_window(window), m_progress(std::move(progress)), m_shown(label, QString(), 0, 0)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
    m_shown.setWindowTitle(QStringLiteral("Ondro"));
    m_shown.setWindowModality(Qt::ApplicationModal);
    m_shown.setCancelButton(nullptr);
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
    if (isUserInput(event)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void BusyState::poll()
{
    if (++m_ticks < ShowProgressAfterTicks)
        return;
    if (m_ticks == ShowProgressAfterTicks && m_window && m_window->isEnabled()) {
        m_window->setEnabled(false);
        m_disabledWindow = true;
    }
    const qint64 total = m_progress->total.load(std::memory_order_relaxed);
    const qint64 done = m_progress->done.load(std::memory_order_relaxed);
    // Whole percent of the rows, or a busy bar when the work cannot tell.
    // Setting a value may show the window by itself.
    m_shown.setMaximum(total > 0 ? 100 : 0);
    m_shown.setValue(total > 0 ? int(std::min<qint64>(100, 100 * done / total)) : 0);
    if (!m_shown.isVisible())
        m_shown.show();
}
