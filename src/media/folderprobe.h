#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <functional>
#include <optional>

template<typename T>
class QFutureWatcher;

// Whether the media without a UUID (a folder on a disk, a network share)
// are there, checked off the window's thread on the program's pool: a
// share that hangs holds one check of its own, never the window. A medium
// whose check has not ended within Timeout is unknown until it ends.
class FolderProbe : public QObject
{
    Q_OBJECT

public:
    // The check itself: root is a folder that holds one of samples.
    using Stat = std::function<bool(const QString &root, const QStringList &samples)>;
    static constexpr std::chrono::milliseconds Timeout{1000};

    struct Target
    {
        QString source;
        QString root;
        QStringList samples;
    };

    explicit FolderProbe(QObject *parent = nullptr);
    ~FolderProbe() override;
    void setStat(Stat stat) { m_stat = std::move(stat); }

    // Starts a check of each target whose last check has ended, then waits
    // up to wait for those to end.
    void check(const QList<Target> &targets, std::chrono::milliseconds wait);
    // What the last check that ended found; none before the first, or
    // while one has run longer than Timeout.
    std::optional<bool> online(const QString &source) const;

Q_SIGNALS:
    // A check ended with another answer, or ran past Timeout.
    void resultsChanged();

private:
    struct Medium
    {
        std::optional<bool> online;
        QFutureWatcher<void> *running = nullptr;
        std::shared_ptr<std::atomic_int> answer; // of the running check: -1 until it ends, else 0 or 1
        QElapsedTimer started;
        bool overdue = false;
    };
    bool take(const QString &source, QFutureWatcher<void> *watcher);
    void markOverdue();

    QHash<QString, Medium> m_media;
    Stat m_stat;
    QTimer m_overdue;
};
