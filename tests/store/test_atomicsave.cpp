#include "store/atomicsave.h"
#include "store/cataloguelistfile.h"
#include "store/settingsfile.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

RowStore manyRows(int n)
{
    RowStore rows;
    for (int i = 0; i < n; ++i)
        rows.append({QStringLiteral("/media/cd/track %1.mp3").arg(i), QStringLiteral("CD02"), QStringLiteral("Artist"),
                     QStringLiteral("Title"), QStringLiteral("Album"), QStringLiteral("1999"), QStringLiteral("Rock"),
                     QString(), QStringLiteral("11111111 11111011 10010000 01100100 ")},
                    EntryOrigin::Own);
    return rows;
}

} // namespace

class AtomicSaveTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void eachFailingStepKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("failAt"); // for writes: the call that fails (1-based)
        QTest::addColumn<int>("error");
        QTest::newRow("disk full at the first write") << "write" << 1 << ENOSPC;
        QTest::newRow("disk full half-way") << "write" << 20 << ENOSPC;
        QTest::newRow("quota half-way") << "write" << 5 << EDQUOT;
        QTest::newRow("sync fails") << "sync" << 1 << EIO;
        QTest::newRow("rename fails") << "rename" << 1 << EXDEV;
    }

    void eachFailingStepKeepsTheOldFile()
    {
        QFETCH(QString, step);
        QFETCH(int, failAt);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        const QByteArray old = "the catalogue of years\r\n";
        QVERIFY(writeBytes(path, old));

        int writes = 0;
        SaveSystemCalls calls;
        if (step == QLatin1String("write")) {
            calls.write = [&](int fd, const char *data, qint64 size) -> qint64 {
                if (++writes >= failAt) {
                    errno = error;
                    return -1;
                }
                return ::write(fd, data, size_t(std::min<qint64>(size, 4096))); // short writes too
            };
        } else if (step == QLatin1String("sync")) {
            calls.sync = [&](int) {
                errno = error;
                return -1;
            };
        } else {
            calls.rename = [&](const char *, const char *) {
                errno = error;
                return -1;
            };
        }
        const RowStore rows = manyRows(2000); // about 200 KiB
        const SaveResult result =
            saveAtomically(path, [&](QIODevice &device) { return CatalogueListFile::write(device, rows); }, calls);
        QVERIFY(!result.ok);
        QCOMPARE(result.error, qt_error_string(error));
        QVERIFY(result.previousKept);
        const QString message = saveFailureMessage(path, result);
        QVERIFY2(message.contains(qt_error_string(error)) && message.endsWith(QStringLiteral("The previous file was kept.")),
                 qPrintable(message));
        QCOMPARE(fileBytes(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"zembra.lst"});
    }

    void savesReplaceWholeAndKeepPermissions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ondro2k.ini"));
        QVERIFY(writeBytes(path, "old"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(SettingsFile::save(path, Settings::defaults()));
        QCOMPARE(fileBytes(path), SettingsFile::serialize(Settings::defaults()));
        QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);

        // A link stays a link; the file it names is replaced.
        const QString link = dir.filePath(QStringLiteral("link.ini"));
        QVERIFY(makeSymlink(path, link));
        Settings other = Settings::defaults();
        other.coverPath = QStringLiteral("/covers");
        QVERIFY(SettingsFile::save(link, other));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(fileBytes(path), SettingsFile::serialize(other));

        // With no earlier file, the message does not claim one was kept.
        const QString nowhere = path + QStringLiteral("/new.ini");
        const SaveResult failed = SettingsFile::save(nowhere, other);
        QVERIFY(!failed.ok && !failed.previousKept);
        QVERIFY(!saveFailureMessage(nowhere, failed).contains(QStringLiteral("previous")));
    }

    // What a killed save left goes at the next save; a file that a living
    // writer holds, a recent one and another file's stay.
    void abandonedTemporariesGoAtTheNextSave()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        const auto leftover = [&](const QString &name, bool old) {
            const QString file = dir.filePath(name);
            writeBytes(file, "partial");
            if (old) {
                const QDateTime past = QDateTime::currentDateTime().addSecs(-3600);
                QFile f(file);
                f.open(QIODevice::ReadWrite);
                f.setFileTime(past, QFileDevice::FileModificationTime);
            }
            return file;
        };
        const QString abandoned = leftover(QStringLiteral(".zembra.lst.a1.tmp"), true);
        const QString held = leftover(QStringLiteral(".zembra.lst.b2.tmp"), true);
        const QString recent = leftover(QStringLiteral(".zembra.lst.c3.tmp"), false);
        const QString other = leftover(QStringLiteral(".ondro2k.ini.d4.tmp"), true);
        const int holder = ::open(QFile::encodeName(held).constData(), O_RDONLY);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);

        QVERIFY(CatalogueListFile::save(path, manyRows(3)));
        ::close(holder);
        QVERIFY(!QFile::exists(abandoned));
        QVERIFY(QFile::exists(held) && QFile::exists(recent) && QFile::exists(other));
    }
};

ONDRO_TEST_MAIN(AtomicSaveTest)
#include "test_atomicsave.moc"
