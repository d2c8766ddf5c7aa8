// The one flow of every export: each kind written twice into a folder
// (the kinds that never replace a file refuse the second time and leave
// it whole), and each failing at its rename, with the message and the
// message box's icon a user gets.
#include "catalogrows.h"
#include "export/exportflow.h"
#include "faultcalls.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>

using ExportFlow::Kind;
using Status = ExportFlow::Outcome::Status;

Q_DECLARE_METATYPE(ExportFlow::Kind)

namespace {

const RowStore &someRows()
{
    static const RowStore rows = CatalogRows::fromPaths({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3")});
    return rows;
}

QString targetFor(Kind kind, const QString &folder)
{
    return kind == Kind::Library ? folder + QStringLiteral("/mine.odl") : ExportFlow::targetIn(kind, folder);
}

Prompter::Icon iconShown(const ExportFlow::Outcome &outcome)
{
    ScriptedPrompter prompter;
    ExportFlow::report(outcome, prompter);
    return prompter.shown.isEmpty() ? Prompter::Icon::None : prompter.shown.constFirst().icon;
}

} // namespace

class ExportFlowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void kinds_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("file");      // the (first) file written
        QTest::addColumn<QString>("done");      // the message once written, %1 the file
        QTest::addColumn<bool>("refusesAgain"); // a second run is refused
        QTest::newRow("text") << Kind::Text << QStringLiteral("ondrolist.txt") << QString() << false;
        QTest::newRow("covers") << Kind::Covers << QStringLiteral("zembra.html") << QString() << false;
        QTest::newRow("database") << Kind::Database << QStringLiteral("ondro2000.mdb")
                                  << QStringLiteral("%1 was exported.") << true;
        QTest::newRow("library") << Kind::Library << QStringLiteral("mine.odl") << QStringLiteral("%1 was created.")
                                 << true;
        QTest::newRow("tunepost") << Kind::Tunepost << QStringLiteral("tunepost-1.m3u")
                                  << QStringLiteral("Export complete.") << false;
        for (const auto &[kind, file] : {std::pair{Kind::M3u8, "ondro.m3u8"}, std::pair{Kind::Xspf, "ondro.xspf"},
                                         std::pair{Kind::Csv, "ondro.csv"}, std::pair{Kind::Jsonl, "ondro.jsonl"}})
            QTest::newRow(file) << kind << QString::fromLatin1(file) << QStringLiteral("%1 was exported.") << false;
    }
    void kinds()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, file);
        QFETCH(QString, done);
        QFETCH(bool, refusesAgain);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        const QString target = targetFor(kind, dir.path());

        const ExportFlow::Outcome first = ExportFlow::run(kind, someRows(), target);
        QCOMPARE(first.status, Status::Written);
        QCOMPARE(first.written, QStringList{path});
        QCOMPARE(ExportFlow::message(first), done.isEmpty() ? done : done.arg(path));
        QCOMPARE(iconShown(first), done.isEmpty() ? Prompter::Icon::None : Prompter::Icon::Information);
        const QByteArray bytes = fileBytes(path);

        const ExportFlow::Outcome again = ExportFlow::run(kind, someRows(), target);
        QCOMPARE(again.status, refusesAgain ? Status::Refused : Status::Written);
        if (refusesAgain) {
            QVERIFY(again.written.isEmpty());
            QCOMPARE(again.path, path);
            QVERIFY(ExportFlow::message(again).startsWith(path + QStringLiteral(" already exists.")));
            QCOMPARE(iconShown(again), Prompter::Icon::Warning);
        }
        QCOMPARE(fileBytes(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{file});
    }

    // A cover page with no cover to show is not written, and says why.
    void coverPageWithoutCovers()
    {
        QTemporaryDir dir;
        const ExportFlow::Outcome outcome =
            ExportFlow::run(Kind::Covers, RowStore(), targetFor(Kind::Covers, dir.path()));
        QCOMPARE(outcome.status, Status::Empty);
        QVERIFY(!outcome);
        QCOMPARE(ExportFlow::message(outcome), QStringLiteral("No entry has a cover image; the page was not written."));
        QCOMPARE(iconShown(outcome), Prompter::Icon::Information);
        QVERIFY(QDir(dir.path()).isEmpty(QDir::Files | QDir::Hidden));
    }

    void failure_data() { kinds_data(); }
    void failure()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, file);
        QTemporaryDir dir;
        ExportFlow::Hooks hooks;
        hooks.calls = failingCalls(QStringLiteral("rename"), 1, ENOSPC, std::make_shared<bool>());

        const ExportFlow::Outcome failed = ExportFlow::run(kind, someRows(), targetFor(kind, dir.path()), hooks);
        QCOMPARE(failed.status, Status::Failed);
        QVERIFY(failed.written.isEmpty());
        QCOMPARE(failed.path, dir.filePath(file));
        const QString text = ExportFlow::message(failed);
        QVERIFY2(text.contains(failed.path) && text.contains(QStringLiteral("No space left on device")), qPrintable(text));
        QCOMPARE(iconShown(failed), Prompter::Icon::Critical);
        QVERIFY(QDir(dir.path()).isEmpty(QDir::Files | QDir::Hidden));
    }
};

ONDRO_TEST_MAIN(ExportFlowTest)
#include "test_exportflow.moc"
