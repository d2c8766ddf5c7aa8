#pragma once

#include "base/workprogress.h"

#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Whether the progress window offers Stop: only where the work can end
// at a point that leaves nothing half-done.
enum class StopOffer { None, Offered };

// How often the progress window is brought up to date, and after how many
// such ticks it appears: short work never flashes a window.
inline constexpr int ProgressPollMs = 50;
inline constexpr int ShowProgressAfterTicks = 8;

// A window while work on another core reads what it shows: the busy
// pointer, no user input taken by that window (clicks, keys, its menus and
// shortcuts, and the window system's requests to close it are dropped),
// painting and timers going on, and every other window left as it is.
// Work that lasts longer than a moment gets a progress window labelled
// label, fed from progress, and the window is shown disabled behind it.
// With a stop offered, its Stop button asks the work to stop through
// progress; describe, when given, gives the label as the work goes on.
// All is undone when the state is destroyed.
class BusyState : public QObject
{
public:
    BusyState(QWidget *window, const QString &label, std::shared_ptr<WorkProgress> progress,
              StopOffer stop = StopOffer::None, std::function<QString(const WorkProgress &)> describe = {});
    ~BusyState() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void poll();

    QPointer<QWidget> m_window;
    std::shared_ptr<WorkProgress> m_progress;
    std::function<QString(const WorkProgress &)> m_describe;
    // Not a child of the window, so that it is not disabled with it.
    QProgressDialog m_shown;
    QTimer m_poll;
    int m_ticks = 0;
    bool m_disabledWindow = false;
};
