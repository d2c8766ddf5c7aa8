#include "browse/burnpreparation.h"
#include "browse/coverattach.h"
#include "base/platform/systempaths.h"
#include "catalogrows.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "testfiles.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A source that fails after handing out some bytes, as a medium pulled
// out during the copy would.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 goodBytes) : m_left(goodBytes) { open(QIODevice::ReadOnly); }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        if (m_left == 0) {
            setErrorString(QStringLiteral("input/output error"));
            return -1;
        }
        const qint64 n = std::min(max, m_left);
        std::fill(data, data + n, 'x');
        m_left -= n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_left;
};

} // namespace

class BurnTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ScriptedPrompter prompter;

    void queueAnswers(std::initializer_list<Prompter::Answer> answers)
    {
        for (Prompter::Answer a : answers)
            prompter.answers.enqueue(a);
    }
    QString media(const QString &name) { return dir.filePath(QStringLiteral("media/") + name); }
    QString destination() { return BurnPlan::withClosingSeparator(dir.filePath(QStringLiteral("burn"))); }

    BurnPreparation::Result prepare(const RowStore &bin, QStringList *copied = nullptr,
                                    const std::function<void()> &onUnreadable = {})
    {
        return BurnPreparation::prepare(bin, destination(), prompter, [&](const BurnPreparation::Run &run) {
            WorkProgress progress;
            progress.onStep = [&](qint64 number, qint64) {
                if (copied)
                    *copied << BurnPreparation::progressOf(run, number).name;
            };
            const BurnPreparation::RunOutcome outcome = BurnPreparation::runCopies(run, progress);
            if (outcome.kind == BurnPreparation::RunOutcome::Unreadable && onUnreadable)
                onUnreadable();
            return outcome;
        });
    }

private Q_SLOTS:
    void init()
    {
        prompter = ScriptedPrompter();
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.filePath(QStringLiteral("burn")));
    }

    void paths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("target");
        QTest::newRow("folder") << "/tmp/burn" << "/cd/Rock/Song.mp3" << "/tmp/burn/Song.mp3";
        QTest::newRow("closing separator kept") << "/tmp/burn/" << "/cd/Song.mp3" << "/tmp/burn/Song.mp3";
        QTest::newRow("drive root") << "/" << "/cd/Song.mp3" << "/Song.mp3";
        QTest::newRow("name without folder") << "/tmp" << "Song.mp3" << "/tmp/Song.mp3";
    }
    void paths()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(QString, target);
        QCOMPARE(BurnPlan::targetFor(BurnPlan::withClosingSeparator(folder), file), target);
        QCOMPARE(CoverAttach::coverPath(folder, SystemPaths::fileNameOf(file)), target); // a cover is joined alike
    }

    void sourcesInOrderOfFirstAppearance()
    {
        const RowStore bin = CatalogRows::fromPaths({"/a", "/b", "/c", "/d", "/e", "/f"},
                                                    {"CD03", "CD01", "CD03", "HD01", "cd01", ""});
        QCOMPARE(BurnPlan::sourcesInOrder(bin), (QStringList{"CD03", "CD01", "HD01", "cd01", ""}));
    }

    void copyReplacesTargetOnlyWhenWhole()
    {
        const QString target = dir.filePath(QStringLiteral("burn/song.mp3"));
        writeBytes(target, "old");
        writeBytes(media(QStringLiteral("song.mp3")), "new bytes");
        QVERIFY(BurnPlan::copyFile(QFile::encodeName(media(QStringLiteral("song.mp3"))), target));
        QCOMPARE(fileBytes(target), QByteArray("new bytes"));

        FailingDevice failing(3 << 20);
        const BurnPlan::CopyResult failed = BurnPlan::copyInto(failing, target);
        QVERIFY(!failed);
        QCOMPARE(failed.error, QStringLiteral("input/output error"));
        QCOMPARE(fileBytes(target), QByteArray("new bytes"));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("burn"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"song.mp3"}); // no temporary file left behind
    }

    void promptsOncePerSourceInOrder()
    {
        QStringList paths;
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
            paths << media(QLatin1String(name));
            writeBytes(paths.last(), name);
        }
        const RowStore bin = CatalogRows::fromPaths(paths, {"CD03", "CD01", "CD03", "HD01"});
        queueAnswers({Prompter::Answer::Ok, Prompter::Answer::Ok, Prompter::Answer::Ok});
        QStringList copied;
        QCOMPARE(prepare(bin, &copied).end, BurnPreparation::End::Finished);
        QCOMPARE(prompter.messages(),
                 (QStringList{"Please insert CD03 and press ok.", "Please insert CD01 and press ok.",
                              "Please insert HD01 and press ok.",
                              "All 4 files were copied to " + QDir::toNativeSeparators(destination())}));
        QCOMPARE(prompter.shown.first().buttons, Prompter::Buttons::OkCancel);
        QCOMPARE(prompter.shown.first().icon, Prompter::Icon::None);
        QCOMPARE(prompter.shown.last().icon, Prompter::Icon::Information);
        QCOMPARE(copied, (QStringList{"a.mp3", "c.mp3", "b.mp3", "d.mp3"}));
        QCOMPARE(fileBytes(destination() + QStringLiteral("c.mp3")), QByteArray("c.mp3"));
    }

    void cancelAtTheSecondSource()
    {
        writeBytes(media(QStringLiteral("a.mp3")), "a");
        writeBytes(media(QStringLiteral("b.mp3")), "b");
        const RowStore bin = CatalogRows::fromPaths({media("a.mp3"), media("b.mp3"), media("a.mp3")},
                                                    {"CD01", "CD02", "CD03"});
        queueAnswers({Prompter::Answer::Ok, Prompter::Answer::Cancel});
        QCOMPARE(prepare(bin).end, BurnPreparation::End::Cancelled);
        QCOMPARE(prompter.messages().size(), 2); // no third prompt, no closing message
        QVERIFY(QFile::exists(destination() + QStringLiteral("a.mp3")));
        QVERIFY(!QFile::exists(destination() + QStringLiteral("b.mp3")));
    }

    void verifyRecopiesTheWholeSource()
    {
        writeBytes(media(QStringLiteral("a.mp3")), "a");
        const RowStore bin = CatalogRows::fromPaths({media("a.mp3"), media("late.mp3")}, {"CD01", "CD01"});
        queueAnswers({Prompter::Answer::Ok, Prompter::Answer::Ok});
        QStringList copied;
        const auto insertMedium = [&] { writeBytes(media(QStringLiteral("late.mp3")), "late"); };
        QCOMPARE(prepare(bin, &copied, insertMedium).end, BurnPreparation::End::Finished);
        QCOMPARE(prompter.messages().at(1), QStringLiteral("Please verify that CD01 is available."));
        QCOMPARE(copied, (QStringList{"a.mp3", "late.mp3", "a.mp3", "late.mp3"}));
        QCOMPARE(fileBytes(destination() + QStringLiteral("late.mp3")), QByteArray("late"));
    }

    void sameNameFromTwoFoldersCountsBoth()
    {
        writeBytes(media(QStringLiteral("x/song.mp3")), "first");
        writeBytes(media(QStringLiteral("y/song.mp3")), "second");
        const RowStore bin = CatalogRows::fromPaths({media("x/song.mp3"), media("y/song.mp3")});
        queueAnswers({Prompter::Answer::Ok});
        prepare(bin);
        QCOMPARE(fileBytes(destination() + QStringLiteral("song.mp3")), QByteArray("second"));
        QVERIFY(prompter.messages().last().startsWith(QLatin1String("All 2 files")));
    }

    void stopEndsAfterTheCurrentFile()
    {
        QStringList paths;
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3"}) {
            paths << media(QLatin1String(name));
            writeBytes(paths.last(), name);
        }
        const std::vector<BurnPlan::Copy> copies =
            BurnPlan::copiesFor(CatalogRows::fromPaths(paths), QStringLiteral("CD01"), destination());
        const BurnPreparation::Run run{&copies, 0, 0, 3};
        WorkProgress progress;
        QStringList shown;
        progress.onStep = [&](qint64 number, qint64 total) {
            const BurnPreparation::Progress p = BurnPreparation::progressOf(run, number);
            shown << QStringLiteral("%1/%2 %3").arg(number).arg(total).arg(p.name);
            progress.requestStop(); // pressed while the first file is being copied
        };
        const BurnPreparation::RunOutcome outcome = BurnPreparation::runCopies(run, progress);
        QCOMPARE(outcome.kind, BurnPreparation::RunOutcome::Stopped);
        QCOMPARE(shown, QStringList{"1/3 a.mp3"});
        QVERIFY(QFile::exists(destination() + QStringLiteral("a.mp3")));
        QVERIFY(!QFile::exists(destination() + QStringLiteral("b.mp3")));
    }

    // A name that is not UTF-8 opens by its exact bytes (raw=) and is
    // copied under the name the catalogue shows.
    void nameNotUtf8CopiedByItsBytes()
    {
        QDir().mkpath(media(QString()));
        const ExactFile latin1(QFile::encodeName(media(QString())) + "Caf\xe9.mp3", "latin-1");
        QVERIFY(latin1.written);
        RowStore bin = CatalogRows::fromPaths({media(QStringLiteral("Caf\u00e9.mp3"))});
        bin.setExtension(0, "ondro:1 raw=Caf%E9.mp3");
        queueAnswers({Prompter::Answer::Ok});
        QCOMPARE(prepare(bin).end, BurnPreparation::End::Finished);
        QVERIFY(prompter.messages().last().startsWith(QLatin1String("All 1 files")));
        QCOMPARE(fileBytes(destination() + QStringLiteral("Caf\u00e9.mp3")), QByteArray("latin-1"));
    }

    // What is no plain file any more is refused at once and named as a
    // failed copy, never opened nor taken for a missing medium.
    void notPlainFileRefusedAndNamed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "fifo" << "it is a named pipe, not a plain file";
        QTest::newRow("folder") << "folder" << "it is a folder, not a file";
        QTest::newRow("link to a device") << "device" << "it is a device, not a plain file";
    }
    void notPlainFileRefusedAndNamed()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QDir().mkpath(media(QString()));
        const QByteArray a = QFile::encodeName(media(QStringLiteral("a.mp3")));
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(a.constData(), 0600), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(media(QStringLiteral("a.mp3"))));
        else
            QCOMPARE(::symlink("/dev/zero", a.constData()), 0);
        writeBytes(media(QStringLiteral("b.mp3")), "b");
        queueAnswers({Prompter::Answer::Ok, Prompter::Answer::Yes});
        prepare(CatalogRows::fromPaths({media("a.mp3"), media("b.mp3")}));
        QCOMPARE(prompter.shown.size(), 3);
        QVERIFY2(prompter.shown.at(1).text.contains(reason), qPrintable(prompter.shown.at(1).text));
        QVERIFY(!QFileInfo::exists(destination() + QStringLiteral("a.mp3")));
        QCOMPARE(fileBytes(destination() + QStringLiteral("b.mp3")), QByteArray("b"));
        QVERIFY(prompter.messages().last().startsWith(QLatin1String("1 of 2 files")));
    }

    void failedCopyNamesTheFileAndAsks_data()
    {
        QTest::addColumn<Prompter::Answer>("answer");
        QTest::addColumn<QString>("last");
        QTest::newRow("go on") << Prompter::Answer::Yes
                               << "1 of 2 files were copied to " + QDir::toNativeSeparators(destination());
        QTest::newRow("stop") << Prompter::Answer::No << QString();
    }
    void failedCopyNamesTheFileAndAsks()
    {
        QFETCH(Prompter::Answer, answer);
        QFETCH(QString, last);
        writeBytes(media(QStringLiteral("a.mp3")), "a");
        writeBytes(media(QStringLiteral("b.mp3")), "b");
        QDir().mkpath(destination() + QStringLiteral("a.mp3")); // a folder is in the way
        const RowStore bin = CatalogRows::fromPaths({media("a.mp3"), media("b.mp3")});
        queueAnswers({Prompter::Answer::Ok, answer});
        prepare(bin);
        const ScriptedPrompter::Shown question = prompter.shown.at(1);
        QVERIFY(question.text.contains(QDir::toNativeSeparators(media(QStringLiteral("a.mp3")))));
        QCOMPARE(question.buttons, Prompter::Buttons::YesNo);
        QCOMPARE(QFile::exists(destination() + QStringLiteral("b.mp3")), answer == Prompter::Answer::Yes);
        QCOMPARE(prompter.shown.size(), last.isEmpty() ? 2 : 3);
        if (!last.isEmpty())
            QCOMPARE(prompter.messages().last(), last);
    }
};

ONDRO_TEST_MAIN(BurnTest)
#include "test_burn.moc"
