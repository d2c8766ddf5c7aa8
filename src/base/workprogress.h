#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>

// The one way long work reports how far it has got and learns that the
// user asked it to stop: written by the work, read by the window,
// lock-free both ways. A total of 0 means the work cannot tell, and the
// window shows it busy. Work that may run with no one watching takes a
// pointer, null when no one is (see workStep, workStopped).
struct WorkProgress
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic_bool stopRequested{false};
    // Set before the work starts by a window that shows every step as it
    // comes (the status window's bar); called on the work's thread. Other
    // windows poll done and total.
    std::function<void(qint64 done, qint64 total)> onStep;

    // After item i (1-based) of n: false once a stop was asked for, so
    // the work can end early.
    bool step(qint64 i, qint64 n)
    {
        // done first: a window that reads a new total (acquire) sees at
        // least the done of the same step.
        done.store(i, std::memory_order_relaxed);
        total.store(n, std::memory_order_release);
        if (onStep)
            onStep(i, n);
        return !stopped();
    }
    bool stopped() const { return stopRequested.load(std::memory_order_relaxed); }
    void requestStop() { stopRequested.store(true, std::memory_order_relaxed); }
};

// The same for work given no progress: nothing is reported, nothing stops it.
inline bool workStep(WorkProgress *progress, qint64 i, qint64 n)
{
    return !progress || progress->step(i, n);
}
inline bool workStopped(const WorkProgress *progress)
{
    return progress && progress->stopped();
}
