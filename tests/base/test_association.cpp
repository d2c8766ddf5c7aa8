#include "base/platform/association.h"
#include "base/platform/mimeapps.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QStandardPaths>

namespace {

// The real association, in the test's own temporary home.
class DesktopAssociation : public RecordingPlatform
{
public:
    QString associatedProgram(const QString &extension) override
    {
        return Association::findAssociatedProgram(extension);
    }
    void makeAssociation(const QString &extension, const QString &programPath) override
    {
        Association::makeAssociation(extension, programPath);
    }
};

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QStringList filesUnder(const QString &folder)
{
    QStringList names;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        names << name;
    return names;
}

const QString Message = QStringLiteral("No default ODL reader detected.  Ondro will be your ODL reader.");

} // namespace

class AssociationTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void emptyProgramWritesNothing()
    {
        Association::makeAssociation(QStringLiteral("odl"), QString());
        Association::makeAssociation(QString(), QStringLiteral("/usr/bin/ondro"));
        QCOMPARE(filesUnder(dataHome() + QStringLiteral("/mime")), QStringList());
        QCOMPARE(filesUnder(dataHome() + QStringLiteral("/applications")), QStringList());
    }

    void registeredOnceNotAgain()
    {
        QCOMPARE(Association::findAssociatedProgram(QStringLiteral("odl")), QStringLiteral("Not Detected"));
        DesktopAssociation platform;
        ScriptedPrompter first;
        Association::checkDefaultReader(platform, first);
        QCOMPARE(first.messages(), QStringList{Message});
        QCOMPARE(first.shown.value(0).icon, Prompter::Icon::Information);

        const QString desktopFile = dataHome() + QStringLiteral("/applications/MyApp.Document.desktop");
        const QByteArray entry = fileBytes(desktopFile);
        QVERIFY(entry.contains("Exec=" + QFile::encodeName(Association::ownProgramPath()) + " %f\n"));
        QVERIFY(entry.contains("MimeType=application/x-ondro-library;\n"));
        QVERIFY(entry.contains("NoDisplay=true\n"));
        QVERIFY(fileBytes(dataHome() + QStringLiteral("/mime/packages/ondro-library.xml"))
                    .contains("<glob pattern=\"*.odl\"/>"));

        // The next start finds the association and asks nothing. This process
        // stands in for it: its MIME database looks for new files only after
        // some seconds.
        QTest::qWait(5500);
        QCOMPARE(Association::findAssociatedProgram(QStringLiteral("odl")), desktopFile);
        ScriptedPrompter next;
        Association::checkDefaultReader(platform, next);
        QCOMPARE(next.messages(), QStringList());
    }

    void existingAssociationLeftAlone_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("a program") << QStringLiteral("/usr/share/applications/other.desktop");
        QTest::newRow("a failure text") << QStringLiteral("file not found");
        QTest::newRow("empty") << QString();
    }
    void existingAssociationLeftAlone()
    {
        QFETCH(QString, answer);
        RecordingPlatform platform;
        platform.association = answer;
        ScriptedPrompter prompter;
        Association::checkDefaultReader(platform, prompter);
        QCOMPARE(prompter.messages(), QStringList());
        QCOMPARE(platform.associationsMade, QStringList());
    }

    // Which program opens a type, read from the association files: each
    // row writes files (folder|name|text) under config/ (user, then
    // system), apps/ (user, then system) and expects a desktop id.
    void defaultApplicationFromTheFiles_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("expected");
        const QString player = QStringLiteral("apps1|player.desktop|[Desktop Entry]\nExec=player %U\n");
        const QString other = QStringLiteral("apps2|other.desktop|[Desktop Entry]\nExec=other %U\n");
        const QString defaults = QStringLiteral("[Default Applications]\naudio/mpeg=%1\n");
        QTest::newRow("user's default") << QStringList{player, other, "config1|mimeapps.list|" + defaults.arg("player.desktop")} << "player.desktop";
        QTest::newRow("user's default over the system's")
            << QStringList{player, other, "config2|mimeapps.list|" + defaults.arg("other.desktop"),
                           "config1|mimeapps.list|" + defaults.arg("player.desktop")}
            << "player.desktop";
        QTest::newRow("a default not installed is passed over")
            << QStringList{other, "config1|mimeapps.list|" + defaults.arg("gone.desktop;other.desktop;")} << "other.desktop";
        QTest::newRow("a program in a terminal is passed over")
            << QStringList{"apps1|term.desktop|[Desktop Entry]\nTerminal=true\n", other,
                           "config1|mimeapps.list|" + defaults.arg("term.desktop;other.desktop")}
            << "other.desktop";
        QTest::newRow("installed programs' cache")
            << QStringList{player, "apps1|mimeinfo.cache|[MIME Cache]\naudio/mpeg=player.desktop;\n"} << "player.desktop";
        QTest::newRow("a parent type's program")
            << QStringList{other, "config1|mimeapps.list|[Default Applications]\napplication/octet-stream=other.desktop\n"}
            << "other.desktop";
        QTest::newRow("a default for another type only")
            << QStringList{player, "config1|mimeapps.list|[Default Applications]\nvideo/mp4=player.desktop\n"} << QString();
        QTest::newRow("the key in another section")
            << QStringList{player, "config1|mimeapps.list|[Removed Associations]\naudio/mpeg=player.desktop\n"} << QString();
    }
    void defaultApplicationFromTheFiles()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        for (const QString &file : files) {
            const QStringList parts = file.split(QLatin1Char('|'));
            QVERIFY(writeBytes(dir.filePath(parts[0] + '/' + parts[1]), parts[2].toUtf8()));
        }
        MimeApps::Folders folders;
        folders.config = {dir.filePath("config1"), dir.filePath("config2")};
        folders.applications = {dir.filePath("apps1"), dir.filePath("apps2")};
        QCOMPARE(MimeApps::defaultApplication({"audio/mpeg", "application/octet-stream"}, folders), expected);
    }
};

ONDRO_TEST_MAIN(AssociationTest)
#include "test_association.moc"
