#include "store/platform/association.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
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
};

ONDRO_TEST_MAIN(AssociationTest)
#include "test_association.moc"
