#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QPointer>
#include <QWidget>
#include <QtConcurrent>

// Runs work on another core while the window shows the busy pointer and
// takes no input, and the user interface goes on painting. Returns what
// the work returned. The work must not touch widgets.
template<typename Work>
auto runInBackground(QWidget *window, Work work) -> decltype(work())
{
    using Result = decltype(work());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QPointer<QWidget> guard(window);
    if (guard)
        guard->setEnabled(false);
    QFutureWatcher<Result> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<Result>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(std::move(work)));
    if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    watcher.waitForFinished();
    if (guard)
        guard->setEnabled(true);
    QApplication::restoreOverrideCursor();
    return watcher.result();
}
