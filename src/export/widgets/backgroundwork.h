#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <QtConcurrent>

#include <atomic>
#include <memory>

// How far work on another core has got: written there, read by the window.
// A total of 0 means the work cannot tell, and the window shows it busy.
struct BackgroundProgress
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};

    // For work that reports "row i of n" (the library writer's callback).
    bool step(qsizetype i, qsizetype n)
    {
        total.store(n, std::memory_order_relaxed);
        done.store(i, std::memory_order_relaxed);
        return true;
    }
};

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
// All is undone when the state is destroyed.
class BusyState : public QObject
{
public:
    BusyState(QWidget *window, const QString &label, std::shared_ptr<BackgroundProgress> progress);
    ~BusyState() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void poll();

    QPointer<QWidget> m_window;
    std::shared_ptr<BackgroundProgress> m_progress;
    // Not a child of the window, so that it is not disabled with it.
    QProgressDialog m_shown;
    QTimer m_poll;
    int m_ticks = 0;
    bool m_disabledWindow = false;
};

// Runs work(progress) on another core while the application is busy (see
// BusyState) and waits for it; returns what the work returned. The work
// must not touch widgets.
template<typename Work>
auto runInBackground(QWidget *window, const QString &label, Work work) -> decltype(work(std::declval<BackgroundProgress &>()))
{
    using Result = decltype(work(std::declval<BackgroundProgress &>()));
    auto progress = std::make_shared<BackgroundProgress>();
    BusyState busy(window, label, progress);
    QFutureWatcher<Result> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<Result>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([work = std::move(work), progress]() mutable { return work(*progress); }));
    if (!watcher.isFinished())
        loop.exec();
    watcher.waitForFinished();
    return watcher.result();
}

// Work that reports nothing: a busy bar when it lasts.
template<typename Work>
auto runInBackground(QWidget *window, const QString &label, Work work) -> decltype(work())
{
    return runInBackground(window, label, [work = std::move(work)](BackgroundProgress &) mutable { return work(); });
}

// Holds the application busy (see BusyState) until future has finished,
// then ends the busy state and hands the result to done on the window's
// thread. Returns at once: the window finishes in done, with no nested
// event loop. The returned watcher belongs to window; whoever owns what
// the work reads must wait for it (waitForFinished) before destroying
// that. When window goes first, done is never called.
template<typename T, typename Done>
QFutureWatcher<T> *finishInBackground(QWidget *window, const QString &label, QFuture<T> future,
                                      std::shared_ptr<BackgroundProgress> progress, Done done)
{
    auto *watcher = new QFutureWatcher<T>(window);
    auto *busy = new BusyState(window, label, std::move(progress));
    busy->setParent(watcher);
    QObject::connect(watcher, &QFutureWatcher<T>::finished, window, [watcher, busy, done = std::move(done)]() mutable {
        // The user may be asked something in done: input first.
        delete busy;
        watcher->deleteLater();
        done(watcher->future().takeResult());
    });
    watcher->setFuture(std::move(future));
    return watcher;
}
