#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;

// Tells when a volume is mounted or unmounted while the program runs. The
// kernel marks /proc/self/mountinfo as having an exceptional condition on
// every change, so nothing is polled while nothing changes; a burst of
// changes (a disc with several sessions, a desktop mounting a stick) is
// told once, a moment after it ends.
class MountWatch : public QObject
{
    Q_OBJECT

public:
    explicit MountWatch(QObject *parent = nullptr, const QString &mountInfo = QStringLiteral("/proc/self/mountinfo"));
    ~MountWatch() override;

Q_SIGNALS:
    void mountsChanged();

private:
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_settle;
};
