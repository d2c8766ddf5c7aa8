#include "base/platform/mountwatch.h"

#include <QFile>
#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

MountWatch::MountWatch(QObject *parent, const QString &mountInfo) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(250);
    connect(&m_settle, &QTimer::timeout, this, &MountWatch::mountsChanged);
    m_fd = ::open(QFile::encodeName(mountInfo).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        return; // no mount table to watch: the states are worked out at start only
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { m_settle.start(); });
}

MountWatch::~MountWatch()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}
