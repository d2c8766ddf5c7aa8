#pragma once

#include "id3bytes.h"
#include "mp3bytes.h"
#include "testfiles.h"

#include "base/plainfileopen.h"

#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// A medium of tracks made of real frames for the tests of a verification,
// and the four ways a file of it goes bad: "middle" gets bytes changed in
// the middle of its audio (its time kept), "short" is cut short, "unread"
// fails to read at ReadErrorAt (through readErrorAt's calls), "gone" is
// removed. "whole" stays as it is. restore() puts every file back as it
// was, time and all.
struct VerifyMedium
{
    static constexpr qsizetype FrameBytes = 417; // MPEG-1 Layer III, 128 kbps, 44.1 kHz
    static constexpr int Frames = 200;
    static constexpr qint64 ChangedAt = 100 * FrameBytes + 10; // inside frame 100
    static constexpr qint64 SyncLostAt = 101 * FrameBytes;      // the next frame's header is gone
    static constexpr qint64 CutTo = 60000;                      // inside frame 143
    static constexpr qint64 ReadErrorAt = 5 * 4096 + 100;

    explicit VerifyMedium(const QString &folder) : root(folder)
    {
        const QDateTime time = QDateTime::fromSecsSinceEpoch(1'600'000'000, Qt::UTC);
        quint32 seed = 1;
        for (const char *name : {"whole", "middle", "short", "unread", "gone"}) {
            const QByteArray bytes = frames(QByteArray("\xFF\xFB\x90\x64", 4), FrameBytes, Frames, seed++ * 1000)
                                     + id3v1Tag(name, "Band");
            files.insert(QLatin1String(name), bytes);
            QVERIFY(writeBytes(path(name), bytes));
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime));
        }
        modified = time;
    }

    QString path(const char *name) const { return root + u'/' + QLatin1String(name) + QStringLiteral(".mp3"); }

    // Spoils middle, short and gone; unread goes bad through readErrorAt.
    void spoil() const
    {
        QByteArray middle = files.value(QStringLiteral("middle"));
        middle.replace(ChangedAt, 1000, QByteArray(1000, '\0'));
        put("middle", middle);
        put("short", files.value(QStringLiteral("short")).first(CutTo));
        QVERIFY(QFile::remove(path("gone")));
    }

    // Whatever stands at their names now (a link included) is replaced.
    void restore() const
    {
        for (const char *name : {"middle", "short", "unread", "gone"}) {
            QFile::remove(path(name));
            put(name, files.value(QLatin1String(name)));
        }
    }

    // Reads of unread that reach ReadErrorAt fail with EIO, as a scratched
    // disc's do; every other read is made.
    SafeFileRead::ReadSystemCalls readErrorAt() const
    {
        struct stat st{};
        ::stat(QFile::encodeName(path("unread")).constData(), &st);
        SafeFileRead::ReadSystemCalls calls;
        calls.readAt = [inode = st.st_ino](int fd, char *buffer, qint64 size, qint64 offset) -> qint64 {
            struct stat open{};
            if (::fstat(fd, &open) == 0 && open.st_ino == inode && offset <= ReadErrorAt && ReadErrorAt < offset + size) {
                errno = EIO;
                return -1;
            }
            return ::pread(fd, buffer, size_t(size), off_t(offset));
        };
        return calls;
    }

    // While it lives, the programs this process starts fail to read unread
    // at ReadErrorAt as readErrorAt's calls do, through the preloaded
    // library; the file put back by restore() reads whole.
    struct ReadFaultInjected
    {
        explicit ReadFaultInjected(const VerifyMedium &medium)
        {
            qputenv("ONDRO_READ_FAULT", QByteArray::number(ReadErrorAt) + ':' + QFile::encodeName(medium.path("unread")));
            qputenv("LD_PRELOAD", ONDRO_READ_FAULT_LIB);
            // The sanitizers' runtime would refuse to come after it.
            qputenv("ASAN_OPTIONS", m_asan + (m_asan.isEmpty() ? "" : ":") + "verify_asan_link_order=0");
        }
        ~ReadFaultInjected()
        {
            qunsetenv("ONDRO_READ_FAULT");
            qunsetenv("LD_PRELOAD");
            m_asan.isNull() ? qunsetenv("ASAN_OPTIONS") : qputenv("ASAN_OPTIONS", m_asan);
        }
        Q_DISABLE_COPY_MOVE(ReadFaultInjected)

    private:
        const QByteArray m_asan = qgetenv("ASAN_OPTIONS");
    };

    QString root;
    QMap<QString, QByteArray> files;
    QDateTime modified;

private:
    // Writes the file with the time it was catalogued with.
    void put(const char *name, const QByteArray &bytes) const
    {
        QVERIFY(writeBytes(path(name), bytes));
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
};
