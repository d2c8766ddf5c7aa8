#include "base/platform/systempaths.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class SystemPathsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fileNameOf_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("path") << "/media/cd/MP3/a.mp3" << "a.mp3";
        QTest::newRow("no separator") << "a.mp3" << "a.mp3";
        QTest::newRow("ends in separator") << "/media/cd/" << "";
        QTest::newRow("root file") << "/a.mp3" << "a.mp3";
        QTest::newRow("empty") << "" << "";
    }
    void fileNameOf()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(SystemPaths::fileNameOf(path), name);
    }

    void searchText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");
        QTest::newRow("underscores") << "my_song_01" << "MY SONG 01";
        QTest::newRow("accents") << "caf\u00e9_noir" << "CAF\u00c9 NOIR";
        QTest::newRow("empty") << "" << "";
    }
    void searchText()
    {
        QFETCH(QString, text);
        QFETCH(QString, result);
        QCOMPARE(SystemPaths::searchText(text), result);
    }

    void fileExists()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a.txt"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(SystemPaths::fileExists(file));
        QVERIFY(!SystemPaths::fileExists(dir.path()));
        QVERIFY(!SystemPaths::fileExists(dir.filePath(QStringLiteral("missing"))));
        QVERIFY(!SystemPaths::fileExists(QString()));
        // A named pipe answers at once instead of waiting for a writer.
        const QString pipe = dir.filePath(QStringLiteral("pipe.odl"));
        QVERIFY(makeFifo(pipe));
        QVERIFY(!SystemPaths::fileExists(pipe));
    }

    void foldersLieInTheIsolatedHome()
    {
        const QString home = TestEnv::home();
        QCOMPARE(SystemPaths::windowsDirectory(), home + QStringLiteral("/.local/share/ondro"));
        QVERIFY(SystemPaths::exportsFolder().startsWith(home));
        QVERIFY(QDir(SystemPaths::exportsFolder()).exists());
        QVERIFY(SystemPaths::desktopFolder().startsWith(home));
        QVERIFY(QDir(SystemPaths::desktopFolder()).exists());
    }
};

ONDRO_TEST_MAIN(SystemPathsTest)
#include "test_systempaths.moc"
