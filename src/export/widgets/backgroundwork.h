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

// Runs work(progress) on another core while the window shows the busy
// pointer and takes no input, and the user interface goes on painting.
// Work that lasts longer than a moment gets a progress window labelled
// label, fed from what the work reports. Returns what the work returned.
// The work must not touch widgets.
template<typename Work>
auto runInBackground(QWidget *window, const QString &label, Work work) -> decltype(work(std::declval<BackgroundProgress &>()))
{
    using Result = decltype(work(std::declval<BackgroundProgress &>()));
    auto progress = std::make_shared<BackgroundProgress>();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QPointer<QWidget> guard(window);
    if (guard)
        guard->setEnabled(false);

    // Not a child of the disabled window, so that it is not disabled too.
    QProgressDialog shown(label, QString(), 0, 0);
    shown.setWindowTitle(QStringLiteral("Ondro"));
    shown.setWindowModality(Qt::ApplicationModal);
    shown.setCancelButton(nullptr);
    shown.setMinimumDuration(0);
    shown.setAutoReset(false);
    shown.setAutoClose(false);
    shown.reset(); // hidden until the timer below decides otherwise
    QTimer poll;
    int ticks = 0;
    QObject::connect(&poll, &QTimer::timeout, &shown, [&] {
        if (++ticks < ShowProgressAfterTicks)
            return;
        const qint64 total = progress->total.load(std::memory_order_relaxed);
        const qint64 done = progress->done.load(std::memory_order_relaxed);
        // Whole percent of the rows, or a busy bar when the work cannot tell.
        shown.setMaximum(total > 0 ? 100 : 0);
        shown.setValue(total > 0 ? int(100 * done / total) : 0);
        if (!shown.isVisible())
            shown.show();
    });

    QFutureWatcher<Result> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<Result>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([work = std::move(work), progress]() mutable { return work(*progress); }));
    if (!watcher.isFinished()) {
        poll.start(ProgressPollMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    watcher.waitForFinished();
    poll.stop();
    shown.hide();
    if (guard)
        guard->setEnabled(true);
    QApplication::restoreOverrideCursor();
    return watcher.result();
}

// Work that reports nothing: a busy bar when it lasts.
template<typename Work>
auto runInBackground(QWidget *window, const QString &label, Work work) -> decltype(work())
{
    return runInBackground(window, label, [work = std::move(work)](BackgroundProgress &) mutable { return work(); });
}
