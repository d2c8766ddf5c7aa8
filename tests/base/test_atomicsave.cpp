#include "base/atomicsave.h"
#include "catalogue/cataloguelistfile.h"
#include "base/settingsfile.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <filesystem>
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

// Makes the links "link=target" below dir ("{dir}" in a target is dir):
// false when one cannot be made.
bool makeLinks(const QString &dir, const QStringList &links)
{
    for (const QString &link : links) {
        const QStringList parts = link.split(QLatin1Char('='));
        const QString at = dir + QLatin1Char('/') + parts[0];
        if (!QDir().mkpath(QFileInfo(at).path()) || !makeSymlink(QString(parts[1]).replace(QStringLiteral("{dir}"), dir), at))
            return false;
    }
    return true;
}

// What each link says, to show that a save left the links as they were.
QStringList linkTexts(const QString &dir, const QStringList &links)
{
    QStringList texts;
    for (const QString &link : links)
        texts << QString::fromStdString(std::filesystem::read_symlink((dir + QLatin1Char('/') + link.section(QLatin1Char('='), 0, 0)).toStdString()).string());
    return texts;
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

    // data/zembra.lst leads through the links to sync/zembra.lst.
    void savesThroughLinksReachTheFileAtTheEnd_data()
    {
        QTest::addColumn<QStringList>("links");
        QTest::newRow("one link, relative") << QStringList{"data/zembra.lst=../sync/zembra.lst"};
        QTest::newRow("one link, absolute") << QStringList{"data/zembra.lst={dir}/sync/zembra.lst"};
        QTest::newRow("two links") << QStringList{"data/zembra.lst=link2", "data/link2=../sync/zembra.lst"};
        QTest::newRow("three links, mixed")
            << QStringList{"data/zembra.lst={dir}/hop/link2", "hop/link2=link3", "hop/link3=../sync/zembra.lst"};
        // The system takes ".." after a link to a folder as that folder's
        // parent, not as the link's.
        QTest::newRow("\"..\" after a link to a folder")
            << QStringList{"data/zembra.lst=../inner/../zembra.lst", "inner=sync/deeper"};
    }

    void savesThroughLinksReachTheFileAtTheEnd()
    {
        QFETCH(QStringList, links);
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("sync/zembra.lst"));
        QVERIFY(writeBytes(real, "old") && QDir().mkpath(dir.filePath(QStringLiteral("sync/deeper"))));
        QVERIFY(makeLinks(dir.path(), links));
        const QStringList before = linkTexts(dir.path(), links);

        const QString path = dir.filePath(QStringLiteral("data/zembra.lst"));
        QVERIFY(CatalogueListFile::save(path, manyRows(1)));
        QCOMPARE(CatalogueListFile::read(path).rows.size(), 1);
        QCOMPARE(CatalogueListFile::read(real).rows.size(), 1);
        QCOMPARE(linkTexts(dir.path(), links), before);
        QCOMPARE(QDir(dir.filePath(QStringLiteral("sync"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"zembra.lst"});
    }

    // Nothing is made through a link to nothing, nor through a loop.
    void linksLeadingNowhereAreRefused_data()
    {
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QString>("reason");
        QTest::newRow("dangling") << QStringList{"data/zembra.lst=link2", "data/link2=../sync/zembra.lst"}
                                  << "it is a link to {dir}/sync/zembra.lst, which does not exist";
        QTest::newRow("loop") << QStringList{"data/zembra.lst=link2", "data/link2=zembra.lst"}
                              << "its links go round in a loop and lead to no file";
        QTest::newRow("link to itself") << QStringList{"data/zembra.lst=zembra.lst"}
                                        << "its links go round in a loop and lead to no file";
    }

    void linksLeadingNowhereAreRefused()
    {
        QFETCH(QStringList, links);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(makeLinks(dir.path(), links));
        const QString path = dir.filePath(QStringLiteral("data/zembra.lst"));
        const SaveResult saved = CatalogueListFile::save(path, manyRows(1));
        QVERIFY(!saved.ok && !saved.previousKept);
        QCOMPARE(saved.error, reason.replace(QStringLiteral("{dir}"), dir.path()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"data"});
        QCOMPARE(QDir(dir.filePath(QStringLiteral("data"))).entryList(QDir::System | QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot).size(),
                 links.size());
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
        QVERIFY(!QFile::exists(abandoned));
        QVERIFY(QFile::exists(held) && QFile::exists(recent) && QFile::exists(other));

        // At start-up, those of every name go; a file of the user's that
        // only looks alike stays.
        const QString users = leftover(QStringLiteral(".notes.tmp"), true);
        removeAbandonedTemporaries(dir.path());
        QVERIFY(!QFile::exists(other));
        QVERIFY(QFile::exists(held) && QFile::exists(recent) && QFile::exists(users));
        ::close(holder);
    }
};

ONDRO_TEST_MAIN(AtomicSaveTest)
#include "test_atomicsave.moc"
