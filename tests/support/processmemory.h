#pragma once

#include <QByteArray>
#include <QFile>

// This process's memory as the kernel counts it, for tests and benchmarks
// that bound a peak: /proc/self/status figures in KiB, and the peak
// (VmHWM) reset to the memory resident now.
namespace ProcessMemory {

// "VmRSS" (resident now) or "VmHWM" (peak); -1 when it cannot be read.
inline qint64 statusKib(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// False when the kernel does not let this process reset its peak.
inline bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace ProcessMemory
