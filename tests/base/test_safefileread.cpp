#include "base/safefileread.h"
#include "testenv.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cstring>

using SafeFileRead::Status;

class SafeFileReadTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refusesAllButPlainFiles_data()
    {
        QTest::addColumn<QString>("make"); // what to put at the path
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("plain file") << "file" << int(Status::Read) << QString();
        QTest::newRow("missing") << "nothing" << int(Status::Missing) << "No such file or directory";
        QTest::newRow("folder") << "folder" << int(Status::Refused) << "it is a folder, not a file";
        QTest::newRow("named pipe") << "fifo" << int(Status::Refused) << "it is a named pipe, not a plain file";
        QTest::newRow("link to a named pipe") << "fifolink" << int(Status::Refused)
                                              << "it is a named pipe, not a plain file";
        QTest::newRow("link to /dev/zero") << "zero" << int(Status::Refused) << "it is a device, not a plain file";
        QTest::newRow("parent is a plain file") << "under-file" << int(Status::Failed) << "Not a directory";
        QTest::newRow("over 2 GiB, sparse") << "huge" << int(Status::Refused) << "it is larger than 2 GiB";
        QTest::newRow("path past 4,096 bytes") << "long" << int(Status::Read) << QString();
        QTest::newRow("chain of three links") << "chain" << int(Status::Read) << QString();
        QTest::newRow("chain of links to nothing") << "dangling" << int(Status::Failed)
                                                   << "it is a link to {dir}/gone/target, which does not exist";
        QTest::newRow("loop of links") << "loop" << int(Status::Failed)
                                       << "its links go round in a loop and lead to no file";
    }

    void refusesAllButPlainFiles()
    {
        QFETCH(QString, make);
        QFETCH(int, status);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("target"));
        if (make == QLatin1String("file"))
            QVERIFY(writeBytes(path, "bytes"));
        else if (make == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        else if (make == QLatin1String("fifo"))
            QVERIFY(makeFifo(path));
        else if (make == QLatin1String("fifolink"))
            QVERIFY(makeFifo(dir.filePath(QStringLiteral("pipe"))) && makeSymlink(dir.filePath(QStringLiteral("pipe")), path));
        else if (make == QLatin1String("zero"))
            QVERIFY(makeSymlink(QStringLiteral("/dev/zero"), path));
        else if (make == QLatin1String("under-file")) {
            QVERIFY(writeBytes(path, "x"));
            path += QStringLiteral("/inside");
        }
        else if (make == QLatin1String("huge"))
            QVERIFY(makeSparseFile(path, SafeFileRead::DefaultMaxBytes + 1));
        else if (make == QLatin1String("long")) {
            // Too long for the system to take at once: opened in steps.
            QVERIFY(writeBytes(path, "bytes"));
            path = dir.path() + QStringLiteral("/.").repeated(2100) + QStringLiteral("/target");
        }
        else if (make == QLatin1String("chain"))
            QVERIFY(writeBytes(dir.filePath(QStringLiteral("real")), "bytes") && makeSymlink(QStringLiteral("l2"), path)
                    && makeSymlink(dir.filePath(QStringLiteral("l3")), dir.filePath(QStringLiteral("l2")))
                    && makeSymlink(QStringLiteral("real"), dir.filePath(QStringLiteral("l3"))));
        else if (make == QLatin1String("dangling"))
            QVERIFY(makeSymlink(QStringLiteral("l2"), path) && makeSymlink(QStringLiteral("gone/target"), dir.filePath(QStringLiteral("l2"))));
        else if (make == QLatin1String("loop"))
            QVERIFY(makeSymlink(QStringLiteral("l2"), path) && makeSymlink(QStringLiteral("target"), dir.filePath(QStringLiteral("l2"))));
        reason.replace(QStringLiteral("{dir}"), dir.path());

        // Both ways in return at once (a pipe must not block) with the reason.
        const SafeFileRead::Result read = SafeFileRead::readAll(path);
        QCOMPARE(int(read.status), status);
        QCOMPARE(read.reason, reason);
        QCOMPARE(read.bytes, status == int(Status::Read) ? QByteArray("bytes") : QByteArray());
        QCOMPARE(read.stamp.exists, status != int(Status::Missing) && status != int(Status::Failed));

        // The progress of a read counts what was read.
        WorkProgress progress;
        SafeFileRead::Options counting;
        counting.progress = &progress;
        QCOMPARE(SafeFileRead::readAll(path, counting).bytes, read.bytes);
        QCOMPARE(progress.done.load(), qint64(read.bytes.size()));

        QFile file;
        const SafeFileRead::Result opened = SafeFileRead::openPlainFile(path, file);
        QCOMPARE(int(opened.status), make == QLatin1String("huge") ? int(Status::Read) : status);
        QCOMPARE(file.isOpen(), opened.ok());
        if (make == QLatin1String("file") || make == QLatin1String("long") || make == QLatin1String("chain")) {
            QVERIFY(file.seek(2));
            QCOMPARE(file.readAll(), QByteArray("tes"));
        }
    }

    void readFailureAndGrowthShow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f"));
        QVERIFY(writeBytes(path, QByteArray(100000, 'x')));

        // A read that fails after the first 4 KiB reports the system's reason.
        SafeFileRead::Options faulty;
        faulty.read = [calls = 0](int, char *buffer, qint64 size) mutable -> qint64 {
            if (calls++ > 0) {
                errno = EIO;
                return -1;
            }
            std::memset(buffer, 'x', size_t(std::min<qint64>(size, 4096)));
            return std::min<qint64>(size, 4096);
        };
        WorkProgress progress;
        faulty.progress = &progress;
        const SafeFileRead::Result failed = SafeFileRead::readAll(path, faulty);
        QCOMPARE(int(failed.status), int(Status::Failed));
        QCOMPARE(progress.done.load(), qint64(4096)); // the bytes read before the failure
        QCOMPARE(failed.reason, QStringLiteral("Input/output error"));
        QVERIFY(failed.bytes.isEmpty());

        // A file that claims a small size and keeps giving bytes (as /proc
        // files do) stops at the limit.
        SafeFileRead::Options endless;
        endless.maxBytes = 1 << 20;
        endless.read = [](int, char *buffer, qint64 size) -> qint64 {
            std::memset(buffer, 'y', size_t(size));
            return size;
        };
        const SafeFileRead::Result refused = SafeFileRead::readAll(path, endless);
        QCOMPARE(int(refused.status), int(Status::Refused));
        QCOMPARE(refused.reason, QStringLiteral("it is larger than 1 MiB"));
    }
};

ONDRO_TEST_MAIN(SafeFileReadTest)
#include "test_safefileread.moc"
