#pragma once

#include <QThreadPool>

// The threads the program's own long work runs on (loads, sorts, scans,
// exports). Qt hands parts of large paintings to its global pool and the
// window waits for them; work kept on this pool never stands in their way.
inline QThreadPool *workPool()
{
    static QThreadPool *pool = [] {
        auto *threads = new QThreadPool; // lives to the end: work may still end after main
        threads->setMaxThreadCount(QThread::idealThreadCount());
        return threads;
    }();
    return pool;
}
