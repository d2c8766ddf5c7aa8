#pragma once

#include <QtGlobal>

#include <atomic>

// How far work on another core has got, and whether the user asked it to
// stop: written by the work, read by the window, lock-free both ways. A
// total of 0 means the work cannot tell, and the window shows it busy.
struct WorkProgress
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic_bool stopRequested{false};

    // For work that reports "row i of n" (the library writer's callback):
    // false once a stop was asked for, so such work can end early.
    bool step(qsizetype i, qsizetype n)
    {
        total.store(n, std::memory_order_relaxed);
        done.store(i, std::memory_order_relaxed);
        return !stopped();
    }
    bool stopped() const { return stopRequested.load(std::memory_order_relaxed); }
};
