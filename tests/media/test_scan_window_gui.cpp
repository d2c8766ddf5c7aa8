#include "catalogue/cataloguemodel.h"
#include "base/workpool.h"
#include "media/drivelist.h"
#include "media/widgets/activityicons.h"
#include "media/widgets/scanwindow.h"
#include "media/widgets/scanworker.h"
#include "media/mediascan.h"
#include "media/mediasession.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "widgetlookup.h"
#include "id3bytes.h"
#include "testfiles.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThreadPool>

namespace {

// A small MP3: a frame (FF FB 90 64, 417 bytes) and an ID3v1 tag naming
// the title.
QByteArray mp3Bytes(const QByteArray &title)
{
    return QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\x11') +
           id3v1Tag(title, "Artist", "Album", "1999", 17);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(writeBytes(path, bytes));
}

// The tree used by most cases, relative paths in the order a walk must
// give them: a folder's own files first (case-insensitive name order),
// then its subfolders depth first.
const QStringList treeOrder = {
    QStringLiteral("a.MP3"),        QStringLiteral("B.mp3"),          QStringLiteral("Album 1/01 one.mp3"),
    QStringLiteral("Album 1/inner/deep.mp3"), QStringLiteral("album 2/02 two.Mp3"),
};

void makeTree(const QString &root)
{
    for (const QString &rel : treeOrder)
        writeFile(root + QLatin1Char('/') + rel, mp3Bytes(QFileInfo(rel).baseName().toLatin1()));
    writeFile(root + QStringLiteral("/notes.mp3.bak"), mp3Bytes("bak"));
    writeFile(root + QStringLiteral("/cover.jpg"), QByteArray(64, 'j'));
    writeFile(root + QStringLiteral("/.hidden/secret.mp3"), mp3Bytes("hidden"));
}

QStringList relativeFilenames(const CatalogueModel &model, qsizetype from, const QString &root)
{
    QStringList out;
    const QDir dir(root);
    for (qsizetype i = from; i < model.size(); ++i)
        out << dir.relativeFilePath(model.field(i, FieldFilename));
    return out;
}

TrackRecord oldRecord()
{
    TrackRecord record;
    record.filename = QStringLiteral("/old.mp3");
    record.source = QStringLiteral("OLD");
    return record;
}

// Starts a scan and waits for its end (returns at once when none started).
void scanAndWait(Form5 &form, const QString &root)
{
    QSignalSpy finished(&form, &Form5::scanFinished);
    form.scan(root);
    if (form.isScanning())
        QVERIFY(finished.wait(20000));
}

QString activity(Form5 &form)
{
    return child<QLabel>(form, "Image2")->property("activity").toString();
}

} // namespace

class ScanWindowTest : public QObject
{
    Q_OBJECT
    RecordingPlatform platform; // keeps the folder scanned last in the state file

private Q_SLOTS:
    void controlsCarryTheirNamesAndTexts()
    {
        CatalogueModel model;
        ScriptedPrompter prompter;
        Form5 form(model, prompter, platform);
        QCOMPARE(form.windowTitle(), QStringLiteral("Scan Media"));
        QCOMPARE(child<QGroupBox>(form, "Frame2")->title(), QStringLiteral(" Source Device to Scan for MP3s "));
        QCOMPARE(child<QGroupBox>(form, "Frame1")->title(), QStringLiteral(" Status "));
        QCOMPARE(child<QPushButton>(form, "Command1")->text(), QStringLiteral("&Scan"));
        QCOMPARE(child<QPushButton>(form, "Command2")->text(), QStringLiteral("&Done"));
        QCOMPARE(child<QLabel>(form, "Label2")->text(),
                 QStringLiteral("If the media is on CD, and you have multiple CD drives, please insert the CD into "
                                "the drive that it can later be found in.  This is important if you will wish to "
                                "launch the MP3 from within Ondro."));
        QCOMPARE(child<QLabel>(form, "Label1")->text(), QStringLiteral("Idle... Waiting to scan media."));
        QVERIFY(child<QLabel>(form, "LabelCount"));
        QCOMPARE(activity(form), QStringLiteral("Image3"));
        QVERIFY(!child<QLabel>(form, "Image2")->pixmap().isNull());

        form.show();
        for (const char *stored : {"Image3", "Image4", "Image1_1", "Image1_2", "Image1_3"}) {
            QLabel *label = child<QLabel>(form, stored);
            QVERIFY(label);
            QVERIFY(!label->isVisible());
            QVERIFY(!label->pixmap().isNull());
        }
        // The five pictures differ from each other.
        QList<QImage> images;
        for (const char *stored : {"Image3", "Image4", "Image1_1", "Image1_2", "Image1_3"})
            images << child<QLabel>(form, stored)->pixmap().toImage();
        for (int i = 0; i < images.size(); ++i)
            for (int j = i + 1; j < images.size(); ++j)
                QVERIFY2(images[i] != images[j], qPrintable(QStringLiteral("pictures %1 and %2").arg(i).arg(j)));

        auto *drive1 = child<QComboBox>(form, "Drive1");
        QVERIFY(drive1->count() >= 1);
        QCOMPARE(drive1->itemText(drive1->count() - 1), QStringLiteral("Choose a folder..."));
        form.close();
    }

    // A scan that would add a medium again asks one question: under its
    // own ID, or another ID for the registered folder or differing only
    // in case or blanks. Cancel adds nothing, Add adds the files again.
    void scanAgainAsks_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("pick");
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("scans");
        const QString other = QStringLiteral("This folder was scanned as HD03. Rescan HD03 instead, or add it as %1?");
        QTest::newRow("same ID, cancel") << "HD03" << "" << "HD03 already has {n} entries. Rescan it instead (update "
                                                            "its entries) or add the files again?" << 1;
        QTest::newRow("other ID, cancel") << "DVD9" << "" << other.arg("DVD9") << 1;
        QTest::newRow("case, add") << "hd03" << "&Add" << other.arg("hd03") << 2;
        QTest::newRow("blanks, cancel") << " HD03" << "" << other.arg(" HD03") << 1;
    }
    void scanAgainAsks()
    {
        QFETCH(QString, source);
        QFETCH(QString, pick);
        QFETCH(QString, question);
        QFETCH(int, scans);
        QTemporaryDir dir;
        makeTree(dir.path());
        CatalogueModel model;
        ScriptedPrompter prompter;
        RecordingPlatform volumes;
        volumes.volumes = QList<MountedVolume>();
        MediaSession media(dir.filePath(QStringLiteral("media.json")), volumes);
        Form5 form(model, prompter, platform);
        form.setMediaSession(&media);
        prompter.texts << QStringLiteral("HD03") << source;
        prompter.picks << pick;
        scanAndWait(form, dir.path());
        const qsizetype once = model.size();
        scanAndWait(form, dir.path());
        QCOMPARE(model.size(), once * scans);
        const auto asked = std::find_if(prompter.shown.cbegin(), prompter.shown.cend(),
                                        [](const auto &shown) { return shown.kind == QLatin1String("choice"); });
        QVERIFY(asked != prompter.shown.cend());
        QCOMPARE(asked->text, question.replace(QStringLiteral("{n}"), QString::number(once)));
        QCOMPARE(asked->captions.first(), source == QLatin1String("HD03") ? "&Rescan" : "&Rescan HD03");
    }

    void cancelledSourcePromptChangesNothing_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("cancelled") << QString();
        QTest::newRow("confirmed empty") << QStringLiteral("");
    }

    void cancelledSourcePromptChangesNothing()
    {
        QFETCH(QString, answer);
        QTemporaryDir dir;
        makeTree(dir.path());
        CatalogueModel model;
        model.append(oldRecord(), EntryOrigin::Own);
        ScriptedPrompter prompter;
        prompter.texts.enqueue(answer);
        Form5 form(model, prompter, platform);
        QSignalSpy added(&form, &Form5::entriesAdded);

        scanAndWait(form, dir.path());
        QCOMPARE(model.size(), 1);
        QCOMPARE(added.size(), 0);
        QCOMPARE(prompter.shown.size(), 1);
        QCOMPARE(prompter.shown[0].kind, QStringLiteral("text"));
        QCOMPARE(prompter.shown[0].text, QStringLiteral("Enter a unique source ID (CD02,HD01 etc)"));
        QCOMPARE(prompter.shown[0].title, QStringLiteral("Source ID"));
        QCOMPARE(child<QLabel>(form, "Label1")->text(), Form5::idleText());
        QCOMPARE(activity(form), QStringLiteral("Image3"));
    }

    void scanAppendsOwnEntriesInWalkOrder()
    {
        QTemporaryDir dir;
        makeTree(dir.path());
        CatalogueModel model;
        model.append(oldRecord(), EntryOrigin::Library);
        ScriptedPrompter prompter;
        prompter.texts.enqueue(QStringLiteral("  CD 02 "));
        Form5 form(model, prompter, platform);
        form.show();

        // When the caption signal comes, the rows are in and "Scan
        // Complete" has not been shown yet.
        qsizetype sizeAtSignal = -1;
        qsizetype messagesAtSignal = -1;
        int signals = 0;
        connect(&form, &Form5::entriesAdded, this, [&] {
            ++signals;
            sizeAtSignal = model.size();
            messagesAtSignal = prompter.messages().size();
        });

        scanAndWait(form, dir.path());
        QCOMPARE(relativeFilenames(model, 1, dir.path()), treeOrder);
        for (qsizetype i = 1; i < model.size(); ++i) {
            QCOMPARE(model.field(i, FieldSource), QStringLiteral("  CD 02 "));
            QCOMPARE(model.origin(i), EntryOrigin::Own);
            QVERIFY(model.field(i, FieldFilename).startsWith(dir.path() + QLatin1Char('/')));
        }
        QCOMPARE(model.origin(0), EntryOrigin::Library);
        QCOMPARE(model.field(1, FieldArtist), QStringLiteral("Artist"));
        QVERIFY(!model.field(1, FieldAudioHeader).isEmpty());

        QCOMPARE(signals, 1);
        QCOMPARE(sizeAtSignal, 1 + treeOrder.size());
        QCOMPARE(messagesAtSignal, 0);
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("Scan Complete")});
        QCOMPARE(prompter.shown.last().icon, Prompter::Icon::Information);

        // After the scan: importing text, idle picture, normal pointer.
        QCOMPARE(child<QLabel>(form, "Label1")->text(), Form5::importingText());
        QCOMPARE(activity(form), QStringLiteral("Image3"));
        QVERIFY(child<QLabel>(form, "LabelCount")->text().contains(QString::number(treeOrder.size())));
        QVERIFY(child<QPushButton>(form, "Command1")->isEnabled());
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(form.isVisible());

        // The same medium again adds every file again.
        prompter.texts.enqueue(QStringLiteral("CD02"));
        scanAndWait(form, dir.path());
        QCOMPARE(model.size(), 1 + 2 * treeOrder.size());
        QCOMPARE(relativeFilenames(model, 1 + treeOrder.size(), dir.path()), treeOrder);
        QCOMPARE(model.field(model.size() - 1, FieldSource), QStringLiteral("CD02"));
        QCOMPARE(signals, 2);
    }

    // A rescan chosen in the Scan window leaves what it did in the status line.
    void rescanSaysWhatItDid_data()
    {
        QTest::addColumn<Prompter::Answer>("apply");
        QTest::addColumn<QString>("status");
        QTest::newRow("applied") << Prompter::Answer::Yes << QStringLiteral("Rescan HD03: 1 moved.");
        QTest::newRow("declined") << Prompter::Answer::No
                                  << QStringLiteral("Rescan HD03: the changes were not applied.");
    }

    void rescanSaysWhatItDid()
    {
        QFETCH(Prompter::Answer, apply);
        QFETCH(QString, status);
        QTemporaryDir dir;
        const QString medium = dir.filePath(QStringLiteral("hd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a")));
        QVERIFY(writeBytes(medium + QStringLiteral("/b.mp3"), taggedMp3("b")));
        CatalogueModel model;
        model.appendRows(scanMedia(medium, QStringLiteral("HD03")).rows);
        QVERIFY(QDir(medium).mkdir(QStringLiteral("sub")) &&
                QFile::rename(medium + QStringLiteral("/b.mp3"), medium + QStringLiteral("/sub/b.mp3")));
        MediaSession media(dir.filePath(QStringLiteral("media.json")), platform);
        ScriptedPrompter prompter;
        prompter.texts.enqueue(QStringLiteral("HD03"));
        prompter.picks.enqueue(QStringLiteral("&Rescan"));
        prompter.answers.enqueue(apply);
        Form5 form(model, prompter, platform);
        form.setMediaSession(&media);
        QSignalSpy finished(&form, &Form5::scanFinished);
        form.scan(medium);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(child<QLabel>(form, "Label1")->text(), status);
        QCOMPARE(model.field(1, FieldFilename).endsWith(QStringLiteral("/sub/b.mp3")),
                 apply == Prompter::Answer::Yes);
    }

    // A medium with no MP3 files says so in the status line; nothing to complete.
    void mediumWithoutFilesSaysSo()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("sub/readme.txt")), "text");
        CatalogueModel model;
        ScriptedPrompter prompter;
        prompter.texts.enqueue(QStringLiteral("HD01"));
        Form5 form(model, prompter, platform);
        QSignalSpy added(&form, &Form5::entriesAdded);
        scanAndWait(form, dir.path());
        QCOMPARE(model.size(), 0);
        QCOMPARE(added.size(), 0);
        QVERIFY(prompter.messages().isEmpty());
        QCOMPARE(child<QLabel>(form, "Label1")->text(),
                 QStringLiteral("No MP3 files were found in %1.").arg(dir.path()));
        QCOMPARE(child<QLabel>(form, "LabelCount")->text(), QString());
    }

    void missingMediumGivesOneError()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("no disc"));
        CatalogueModel model;
        ScriptedPrompter prompter;
        prompter.texts.enqueue(QStringLiteral("CD09"));
        Form5 form(model, prompter, platform);
        scanAndWait(form, root);
        const QStringList messages = prompter.messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("There was an error scanning ") + root));
        QCOMPARE(prompter.shown[1].buttons, Prompter::Buttons::Ok);
        QCOMPARE(prompter.shown[1].icon, Prompter::Icon::Critical);
        QCOMPARE(model.size(), 0);
    }

    // Files found but not imported (a named pipe, a dangling link) are
    // listed in the one error message, with their reasons; the rest is
    // imported.
    void skippedFilesGiveOneMessage()
    {
        QTemporaryDir dir;
        makeTree(dir.path());
        const QString pipe = dir.filePath(QStringLiteral("Album 1/pipe.mp3"));
        const QString dangling = dir.filePath(QStringLiteral("zz gone.mp3"));
        QVERIFY(makeFifo(pipe));
        QVERIFY(makeSymlink(dir.filePath(QStringLiteral("nothing")), dangling));

        CatalogueModel model;
        ScriptedPrompter prompter;
        prompter.texts.enqueue(QStringLiteral("HD02"));
        Form5 form(model, prompter, platform);
        scanAndWait(form, dir.path());

        const QStringList messages = prompter.messages();
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].startsWith(QStringLiteral("There was an error scanning ") + dir.path()));
        QVERIFY(messages[0].contains(pipe + QStringLiteral(": not a plain file (a named pipe)")));
        QVERIFY(messages[0].contains(dangling + QStringLiteral(": ")));
        QCOMPARE(messages[1], QStringLiteral("Scan Complete"));
        QCOMPARE(relativeFilenames(model, 0, dir.path()), treeOrder);
    }

    void errorMessageListsAtMostTwentyFolders_data()
    {
        QTest::addColumn<int>("failed");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("tail");
        QTest::newRow("one") << 1 << 1 << QStringLiteral("/f0");
        QTest::newRow("twenty") << 20 << 20 << QStringLiteral("/f19");
        QTest::newRow("twenty-five") << 25 << 20 << QStringLiteral("and 5 more");
    }

    void errorMessageListsAtMostTwentyFolders()
    {
        QFETCH(int, failed);
        QFETCH(int, listed);
        QFETCH(QString, tail);
        QStringList folders;
        for (int i = 0; i < failed; ++i)
            folders << QStringLiteral("/f%1").arg(i);
        QList<SkippedFile> skipped;
        for (int i = 0; i < failed; ++i)
            skipped.append({QStringLiteral("/s%1.mp3").arg(i), QStringLiteral("why")});
        const QString text = Form5::walkErrorMessage(QStringLiteral("/media/cd"), folders, skipped);
        QVERIFY(text.startsWith(QStringLiteral("There was an error scanning /media/cd\n")));
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^/f\\d+$"))).size(), listed);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^/s\\d+\\.mp3: why$"))).size(), listed);
        QCOMPARE(lines.last(), QString(tail).replace(QStringLiteral("/f"), QStringLiteral("/s")).append(
                                   tail.startsWith(u'/') ? QStringLiteral(".mp3: why") : QString()));
    }

    void doneDuringScanAsksToStop_data()
    {
        QTest::addColumn<Prompter::Answer>("answer");
        QTest::addColumn<bool>("byTitleBar");
        QTest::newRow("Done, stop") << Prompter::Answer::Yes << false;
        QTest::newRow("Done, go on") << Prompter::Answer::No << false;
        QTest::newRow("title bar, stop") << Prompter::Answer::Yes << true;
        QTest::newRow("title bar, go on") << Prompter::Answer::No << true;
    }

    void doneDuringScanAsksToStop()
    {
        QFETCH(Prompter::Answer, answer);
        QFETCH(bool, byTitleBar);
        QTemporaryDir dir;
        makeTree(dir.path());
        CatalogueModel model;
        model.append(oldRecord(), EntryOrigin::Own);
        ScriptedPrompter prompter;
        prompter.texts.enqueue(QStringLiteral("CD03"));
        prompter.answers.enqueue(answer);
        Form5 form(model, prompter, platform);
        form.show();
        QSignalSpy added(&form, &Form5::entriesAdded);

        // Posted before the scan starts, so it runs while the scan is waited
        // for, ahead of the worker's end: the scan is still running then.
        bool scanningAtClick = false;
        bool scanEnabledAtClick = true;
        Qt::CursorShape cursorAtClick = Qt::ArrowCursor;
        QMetaObject::invokeMethod(
            &form,
            [&] {
                scanningAtClick = form.isScanning();
                scanEnabledAtClick = child<QPushButton>(form, "Command1")->isEnabled();
                cursorAtClick = form.cursor().shape();
                if (byTitleBar)
                    form.close();
                else
                    child<QPushButton>(form, "Command2")->click();
            },
            Qt::QueuedConnection);
        scanAndWait(form, dir.path());

        QVERIFY(scanningAtClick);
        QVERIFY(!scanEnabledAtClick);
        QCOMPARE(cursorAtClick, Qt::WaitCursor);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(prompter.messages().value(0), QStringLiteral("A scan is running. Stop it?"));
        QCOMPARE(prompter.shown[1].buttons, Prompter::Buttons::YesNo);
        QVERIFY(!form.isScanning());
        if (answer == Prompter::Answer::Yes) {
            QCOMPARE(model.size(), 1);
            QCOMPARE(added.size(), 0);
            QCOMPARE(prompter.messages().size(), 1);
            QVERIFY(!form.isVisible());
            QCOMPARE(form.result(), int(QDialog::Rejected));
        } else {
            QCOMPARE(model.size(), 1 + treeOrder.size());
            QCOMPARE(added.size(), 1);
            QCOMPARE(prompter.messages().value(1), QStringLiteral("Scan Complete"));
            QVERIFY(form.isVisible());
        }
    }

    void stopFlagReachesTheScan()
    {
        QTemporaryDir dir;
        makeTree(dir.path());
        ScanWorker worker;
        QSignalSpy finished(&worker, &ScanWorker::finished);
        // The pool's only thread is held, so the scan has surely not begun
        // when the stop is asked for.
        QThreadPool *pool = workPool();
        const int threads = pool->maxThreadCount();
        QSemaphore hold;
        pool->setMaxThreadCount(1);
        pool->start([&hold] { hold.acquire(); });
        worker.start(dir.path(), QStringLiteral("CD04"));
        QVERIFY(worker.isRunning());
        worker.requestStop();
        hold.release();
        pool->setMaxThreadCount(threads);
        QVERIFY(finished.wait(10000));
        QVERIFY(!worker.isRunning());
        const ScanOutcome outcome = worker.takeOutcome();
        QVERIFY(outcome.stopped);
        QCOMPARE(outcome.rows.size(), 0);

        // The next run starts with the flag cleared.
        worker.start(dir.path(), QStringLiteral("CD04"));
        QVERIFY(finished.wait(10000));
        const ScanOutcome full = worker.takeOutcome();
        QVERIFY(!full.stopped);
        QCOMPARE(full.rows.size(), treeOrder.size());
    }

    void chosenFolderBecomesTheCurrentDrive()
    {
        QTemporaryDir dir;
        makeTree(dir.path());
        CatalogueModel model;
        ScriptedPrompter prompter;
        Form5 form(model, prompter, platform);
        auto *drive1 = child<QComboBox>(form, "Drive1");
        const int before = drive1->count();
        const int chooser = before - 1;

        // Cancelling the chooser goes back to the drive that was current.
        prompter.texts.enqueue(QString());
        drive1->setCurrentIndex(chooser);
        Q_EMIT drive1->activated(chooser);
        QCOMPARE(drive1->count(), before);
        QCOMPARE(drive1->currentIndex(), 0);

        prompter.texts.enqueue(dir.path());
        drive1->setCurrentIndex(chooser);
        Q_EMIT drive1->activated(chooser);
        QCOMPARE(drive1->count(), before + 1);
        QCOMPARE(drive1->currentData().toString(), dir.path());
        QCOMPARE(drive1->itemText(drive1->count() - 1), QStringLiteral("Choose a folder..."));

        prompter.texts.enqueue(QStringLiteral("USB1"));
        QSignalSpy finished(&form, &Form5::scanFinished);
        child<QPushButton>(form, "Command1")->click();
        QVERIFY(finished.wait(20000));
        QCOMPARE(relativeFilenames(model, 0, dir.path()), treeOrder);
        QCOMPARE(model.field(0, FieldSource), QStringLiteral("USB1"));
    }

    void driveListOffersRealVolumesRemovableFirst()
    {
        using DriveList::Volume;
        const QList<Volume> volumes = {
            {QStringLiteral("/"), QString(), "ext4", true, true, false},
            {QStringLiteral("/proc"), QString(), "proc", true, true, false},
            {QStringLiteral("/run/user/1000"), QString(), "tmpfs", true, true, false},
            {QStringLiteral("/home"), QString(), "ext4", true, true, false},
            {QStringLiteral("/media/cdrom"), QStringLiteral("CD02"), "iso9660", true, true, true},
            {QStringLiteral("/mnt/gone"), QString(), "ext4", true, false, false},
            {QStringLiteral("/mnt/bad"), QString(), "ext4", false, true, false},
            {QStringLiteral("/run/media/me/STICK"), QStringLiteral("STICK"), "vfat", true, true, true},
            {QStringLiteral("/sys/fs/cgroup"), QString(), "cgroup2", true, true, false},
            {QStringLiteral("/home"), QString(), "ext4", true, true, false},
        };
        const QList<DriveList::Drive> drives = DriveList::drivesFrom(volumes);
        QStringList roots;
        for (const DriveList::Drive &d : drives)
            roots << d.rootPath;
        QCOMPARE(roots, (QStringList{QStringLiteral("/media/cdrom"), QStringLiteral("/run/media/me/STICK"),
                                     QStringLiteral("/home")}));
        QVERIFY(drives[0].label.contains(QStringLiteral("CD02")));
        QVERIFY(drives[0].removable);
        QVERIFY(!drives[2].removable);
    }

    void importFrameAdvancesEveryTenFiles_data()
    {
        QTest::addColumn<int>("imported");
        QTest::addColumn<int>("frame");
        QTest::newRow("start") << 0 << 1;
        QTest::newRow("nine") << 9 << 1;
        QTest::newRow("tenth") << 10 << 2;
        QTest::newRow("eleven") << 11 << 2;
        QTest::newRow("twenty") << 20 << 3;
        QTest::newRow("thirty back to 1") << 30 << 1;
    }

    void importFrameAdvancesEveryTenFiles()
    {
        QFETCH(int, imported);
        QFETCH(int, frame);
        QCOMPARE(ActivityIcons::importFrameFor(imported), frame);
    }
};

ONDRO_TEST_MAIN(ScanWindowTest)
#include "test_scan_window_gui.moc"
