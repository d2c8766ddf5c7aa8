#include "app/cataloguesession.h"
#include "catalogrows.h"
#include "scriptedprompter.h"
#include "catalogue/cataloguemodel.h"
#include "testenv.h"
#include "testfiles.h"

#include <QTemporaryDir>

using Answer = Prompter::Answer;

namespace {

// A session over a list file that was read whole (or refused), with a
// writer that counts its calls and replaces the file as Save does.
struct Fixture
{
    QTemporaryDir dir;
    QString list = dir.filePath(QStringLiteral("list.txt"));
    CatalogueModel catalogue;
    ScriptedPrompter prompter;
    CatalogueSession session{catalogue, prompter, list};
    int writes = 0;

    Fixture(StartupMode mode, const QString &refusal = {})
    {
        writeBytes(list, "one\n");
        CatalogueSession::Loaded loaded;
        loaded.rows = CatalogRows::fromPaths({QStringLiteral("/m/a.mp3")});
        loaded.stamp = FileStamp::of(list);
        loaded.refusal = refusal;
        StartupPlan plan;
        plan.mode = mode;
        session.take(plan, std::move(loaded));
    }
    CatalogueSession::Write write()
    {
        return [this](bool &catalogueSaved) {
            ++writes;
            catalogueSaved = writeBytes(list, "saved\n");
            return catalogueSaved;
        };
    }
    void change() { catalogue.appendRows(CatalogRows::fromPaths({QStringLiteral("/m/b.mp3")})); }
};

} // namespace

class CatalogueSessionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Save never replaces a file that could not be read, and asks before
    // replacing one another program changed; a save makes it unchanged.
    void save_data()
    {
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<bool>("changedOnDisk");
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<int>("writes");
        QTest::addColumn<QString>("told"); // start of the first message, if any
        QTest::newRow("plain") << QString() << false << QList<Answer>{} << 1 << QString();
        QTest::newRow("unreadable at start") << QStringLiteral("Input/output error") << false << QList<Answer>{} << 0
                                             << QStringLiteral("The catalogue ");
        QTest::newRow("changed, replace") << QString() << true << QList<Answer>{Answer::Yes} << 1
                                          << QStringLiteral("The catalogue ");
        QTest::newRow("changed, keep") << QString() << true << QList<Answer>{Answer::No} << 0
                                       << QStringLiteral("The catalogue ");
    }
    void save()
    {
        QFETCH(QString, refusal);
        QFETCH(bool, changedOnDisk);
        QFETCH(QList<Answer>, answers);
        QFETCH(int, writes);
        QFETCH(QString, told);
        Fixture f(StartupMode::Normal, refusal);
        const qsizetype before = f.prompter.shown.size();
        f.change();
        if (changedOnDisk)
            writeBytes(f.list, "another program\n");
        f.prompter.answers.append(answers);
        QCOMPARE(f.session.save(f.write()), writes == 1);
        QCOMPARE(f.writes, writes);
        QCOMPARE(f.session.changed(), writes == 0);
        const QStringList shown = f.prompter.messages().mid(before);
        QCOMPARE(shown.value(0).left(told.size()), told);
        QVERIFY(f.prompter.answers.isEmpty());
        if (writes == 1) { // the new file is the one loaded now: no question next time
            f.change();
            QVERIFY(f.session.save(f.write()));
            QCOMPARE(f.prompter.messages().size(), shown.size() + before);
        }
    }

    // Closing asks about a changed catalogue only in the normal mode.
    void mayClose_data()
    {
        QTest::addColumn<StartupMode>("mode");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("writes");
        QTest::newRow("unchanged") << StartupMode::Normal << false << QList<Answer>{} << true << 0;
        QTest::newRow("save") << StartupMode::Normal << true << QList<Answer>{Answer::Save} << true << 1;
        QTest::newRow("discard") << StartupMode::Normal << true << QList<Answer>{Answer::Discard} << true << 0;
        QTest::newRow("cancel") << StartupMode::Normal << true << QList<Answer>{Answer::Cancel} << false << 0;
        QTest::newRow("viewing a library") << StartupMode::Odl << true << QList<Answer>{} << true << 0;
    }
    void mayClose()
    {
        QFETCH(StartupMode, mode);
        QFETCH(bool, changed);
        QFETCH(QList<Answer>, answers);
        QFETCH(bool, closes);
        QFETCH(int, writes);
        Fixture f(mode);
        if (changed)
            f.change();
        f.prompter.answers.append(answers);
        QCOMPARE(f.session.mayClose(f.write()), closes);
        QCOMPARE(f.writes, writes);
        QCOMPARE(f.prompter.shown.size(), answers.size());
    }

    // What the start-up read found is told once the rows are in.
    void takeTellsTheRead()
    {
        QTemporaryDir dir;
        CatalogueModel catalogue;
        ScriptedPrompter prompter;
        CatalogueSession session(catalogue, prompter, dir.filePath(QStringLiteral("list.txt")));
        CatalogueSession::Loaded loaded;
        loaded.rows = CatalogRows::fromPaths({QStringLiteral("/m/a.mp3")});
        loaded.problem = QStringLiteral("Damaged.");
        loaded.refusal = QStringLiteral("Input/output error");
        StartupPlan plan;
        plan.libraryMissing = true;
        session.take(plan, std::move(loaded));
        QVERIFY(session.isLoaded());
        QCOMPARE(catalogue.size(), 1);
        QVERIFY(!session.changed());
        QCOMPARE(prompter.messages(), (QStringList{QStringLiteral("Damaged. Ondro will not save over it while it runs."),
                                                   QStringLiteral("You attempted to load an ODL that is not available")}));
        QCOMPARE(prompter.shown.at(0).icon, Prompter::Icon::Critical);
    }
};

ONDRO_TEST_MAIN(CatalogueSessionTest)
#include "test_cataloguesession.moc"
