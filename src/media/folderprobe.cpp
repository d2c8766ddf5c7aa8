#include "media/folderprobe.h"

#include "base/workpool.h"
#include "media/mediastate.h"

#include <QFutureWatcher>
#include <QSemaphore>
#include <QtConcurrent/QtConcurrentRun>
#include <memory>

FolderProbe::FolderProbe(QObject *parent) : QObject(parent), m_stat(&MediaStates::folderHolds)
{
    m_overdue.setSingleShot(true);
    connect(&m_overdue, &QTimer::timeout, this, &FolderProbe::markOverdue);
}

FolderProbe::~FolderProbe() = default; // a check still running ends on its own, its answer dropped

void FolderProbe::check(const QList<Target> &targets, std::chrono::milliseconds wait)
{
    const auto ended = std::make_shared<QSemaphore>();
    QList<std::pair<QString, QFutureWatcher<void> *>> started;
    for (const Target &target : targets) {
        Medium &medium = m_media[target.source];
        if (medium.running)
            continue; // one check at a time: a hung share holds one thread, not more
        auto *watcher = new QFutureWatcher<void>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, source = target.source, watcher] {
            if (take(source, watcher))
                Q_EMIT resultsChanged();
        });
        medium.running = watcher;
        medium.answer = std::make_shared<std::atomic_int>(-1);
        medium.started.start();
        watcher->setFuture(QtConcurrent::run(workPool(), [stat = m_stat, target, ended, answer = medium.answer] {
            // Waiting on a share is no work: the pool may run other work meanwhile.
            workPool()->releaseThread();
            answer->store(stat(target.root, target.samples) ? 1 : 0);
            workPool()->reserveThread();
            ended->release();
        }));
        started.append({target.source, watcher});
    }
    if (started.isEmpty())
        return;
    ended->tryAcquire(int(started.size()), int(wait.count()));
    bool changed = false;
    for (const auto &[source, watcher] : std::as_const(started))
        changed |= take(source, watcher);
    if (!m_overdue.isActive())
        m_overdue.start(Timeout);
    if (changed)
        Q_EMIT resultsChanged();
}

// Takes the answer of watcher's check of source, once it has one; true when what
// online() says changed.
bool FolderProbe::take(const QString &source, QFutureWatcher<void> *watcher)
{
    const auto it = m_media.find(source);
    if (it == m_media.end() || it->running != watcher || it->answer->load() < 0)
        return false;
    const std::optional<bool> before = online(source);
    it->online = it->answer->load() == 1;
    it->running = nullptr;
    it->overdue = false;
    watcher->deleteLater();
    return online(source) != before;
}

void FolderProbe::markOverdue()
{
    bool changed = false;
    qint64 next = -1; // until the next running check is overdue
    for (Medium &medium : m_media) {
        if (!medium.running || medium.overdue)
            continue;
        const qint64 left = Timeout.count() - medium.started.elapsed();
        if (left > 0) {
            next = next < 0 ? left : std::min(next, left);
            continue;
        }
        changed |= medium.online.has_value();
        medium.overdue = true;
    }
    if (next >= 0)
        m_overdue.start(int(next));
    if (changed)
        Q_EMIT resultsChanged();
}

std::optional<bool> FolderProbe::online(const QString &source) const
{
    const auto it = m_media.constFind(source);
    if (it == m_media.cend() || it->overdue)
        return std::nullopt;
    return it->online;
}
