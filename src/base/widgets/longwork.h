#pragma once

#include "base/widgets/busystate.h"
#include "base/workpool.h"
#include "base/workprogress.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>
#include <memory>

// The one way the windows run long work: off the window's thread, the
// window busy meanwhile, progress after a moment, and the end taken in a
// slot on the window's thread (no nested event loop). The work must not
// touch widgets; it reports and checks for Stop through its WorkProgress.
namespace LongWork {

// How the work shows itself. With a label, the window is held busy (see
// BusyState) and a progress window with that label appears after a
// moment, offering Stop as stop says. Without one, the window is its own
// progress window (a modal dialog with its bar and Stop button), and
// tick, when given, is called with the progress every ProgressPollMs.
struct Shown
{
    QString label;
    StopOffer stop = StopOffer::None;
    std::function<void(const WorkProgress &)> tick;
    // With a label: the label as the work goes on (such as its speed),
    // asked for at each update of the progress window.
    std::function<QString(const WorkProgress &)> describe;
};

// Waits for future without blocking the owner's thread, then hands its
// result to done there. The returned watcher belongs to owner; whoever
// owns what the work reads must wait for it (waitForFinished) before
// destroying that. When owner goes first, done is never called. A label
// needs a window as owner: it is the window held busy.
template<typename T, typename Done>
QFutureWatcher<T> *finish(QObject *owner, const Shown &shown, QFuture<T> future,
                          std::shared_ptr<WorkProgress> progress, Done done)
{
    auto *watcher = new QFutureWatcher<T>(owner);
    if (!shown.label.isEmpty())
        (new BusyState(qobject_cast<QWidget *>(owner), shown.label, progress, shown.stop, shown.describe))
            ->setParent(watcher);
    if (shown.tick) {
        auto *poll = new QTimer(watcher);
        QObject::connect(poll, &QTimer::timeout, watcher, [tick = shown.tick, progress] { tick(*progress); });
        poll->start(ProgressPollMs);
    }
    QObject::connect(watcher, &QFutureWatcher<T>::finished, owner, [watcher, done = std::move(done)]() mutable {
        // Taking the result empties the future; the watcher is left with a
        // finished one, so that waiting on it meanwhile returns at once.
        QFuture<T> future = watcher->future();
        watcher->disconnect();
        watcher->setFuture(QFuture<T>());
        // The user may be asked something in done: the busy state ends first.
        const QList<QObject *> helpers = watcher->children();
        qDeleteAll(helpers);
        watcher->deleteLater();
        done(future.takeResult());
    });
    watcher->setFuture(std::move(future));
    return watcher;
}

template<typename T, typename Done>
QFutureWatcher<T> *finish(QWidget *window, const QString &label, QFuture<T> future,
                          std::shared_ptr<WorkProgress> progress, Done done)
{
    return finish(window, Shown{label, StopOffer::None, {}, {}}, std::move(future), std::move(progress), std::move(done));
}

// Runs work(progress) on another core and hands what it returns to done
// on the window's thread. progress, when given, is the one the work
// reports to (a window's own Stop button sets it); else a new one.
template<typename Work, typename Done>
auto start(QObject *owner, const Shown &shown, Work work, Done done,
           std::shared_ptr<WorkProgress> progress = std::make_shared<WorkProgress>())
{
    auto future = QtConcurrent::run(workPool(), [work = std::move(work), progress]() mutable { return work(*progress); });
    return finish(owner, shown, std::move(future), progress, std::move(done));
}

template<typename Work, typename Done>
auto start(QWidget *window, const QString &label, Work work, Done done)
{
    return start(window, Shown{label, StopOffer::None, {}, {}}, std::move(work), std::move(done));
}

} // namespace LongWork
