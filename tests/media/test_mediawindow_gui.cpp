#include "media/mediascan.h"
#include "media/widgets/mediawindow.h"
#include "media/widgets/rescanflow.h"
#include "catalogue/cataloguemodel.h"
#include "base/codepage.h"
#include "media/mediasession.h"
#include "id3bytes.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QDir>
#include <QTableWidget>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

const QByteArray Cp1251Title = "\xCF\xF0\xE8\xE2\xE5\xF2"; // "Привет"

QStringList titles(const CatalogueModel &catalogue)
{
    QStringList out;
    for (qsizetype row = 0; row < catalogue.rows().size(); ++row)
        out.append(catalogue.rows().field(row, FieldTrack));
    return out;
}

} // namespace

class MediaWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Choosing a code page in the Media window: previewed on the titles,
    // then saved and applied by a rescan on Yes, the status line saying
    // what it changed; No and an offline medium change nothing.
    void chooseCodepage_data()
    {
        QTest::addColumn<QByteArray>("tagged"); // a.mp3's title
        QTest::addColumn<bool>("online");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("said"); // in the first message
        QTest::addColumn<QString>("codepage");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("status");
        const QString mojibake = QStringLiteral("\u00CF\u00F0\u00E8\u00E2\u00E5\u00F2");
        QTest::newRow("yes") << Cp1251Title << true << true
                             << QStringLiteral("a.mp3: %1 \u2192 Привет\nb.mp3: b \u2192 b\n").arg(mojibake)
                             << QStringLiteral("windows-1251") << QStringLiteral("Привет")
                             << QStringLiteral("Code page windows-1251 applied to CD02: 1 entry changed.");
        QTest::newRow("yes, nothing reads otherwise")
            << QByteArray("a") << true << true << QStringLiteral("a.mp3: a \u2192 a\n") << QStringLiteral("windows-1251")
            << QStringLiteral("a") << QStringLiteral("Code page windows-1251 applied to CD02: no entry changed.");
        QTest::newRow("no") << Cp1251Title << true << false << QStringLiteral("as windows-1251 instead of auto?")
                            << QStringLiteral("auto") << mojibake << QString();
        QTest::newRow("offline") << Cp1251Title << false << false << QStringLiteral("CD02 is offline: mount it")
                                 << QStringLiteral("auto") << mojibake << QString();
    }

    void chooseCodepage()
    {
        QFETCH(QByteArray, tagged);
        QFETCH(bool, online);
        QFETCH(bool, yes);
        QFETCH(QString, said);
        QFETCH(QString, codepage);
        QFETCH(QString, title);
        QFETCH(QString, status);
        QTemporaryDir dir;
        const QString medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3(tagged)));
        QVERIFY(writeBytes(medium + QStringLiteral("/b.mp3"), taggedMp3("b")));
        CatalogueModel catalogue;
        catalogue.appendRows(scanMedia(medium, QStringLiteral("CD02")).rows);
        RecordingPlatform platform;
        platform.volumes = QList<MountedVolume>();
        MediaSession media(dir.filePath(QStringLiteral("media.json")), platform);
        QVERIFY(media.load().isEmpty());
        QVERIFY(media.noteScan(QStringLiteral("CD02"), medium, mediumTotals(catalogue.rows(), QStringLiteral("CD02")))
                    .isEmpty());
        if (!online)
            QVERIFY(QDir(medium).removeRecursively());
        media.refresh(catalogue.rows());
        ScriptedPrompter prompter;
        prompter.answers << (yes ? Prompter::Answer::Yes : Prompter::Answer::No) << Prompter::Answer::Yes;
        MediaWindow window(catalogue, media, prompter);
        auto *table = window.findChild<QTableWidget *>(QStringLiteral("lstMedia"));
        QTableWidgetItem *cell = table->item(0, MediaWindow::CodePageColumn);
        QCOMPARE(cell->text(), QStringLiteral("auto"));
        QVERIFY(cell->flags() & Qt::ItemIsEditable);

        // Picked from the cell's list of code pages.
        window.show();
        table->editItem(cell);
        auto *combo = table->viewport()->findChild<QComboBox *>();
        QVERIFY(combo);
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names.append(combo->itemText(i));
        QCOMPARE(names, CodePage::names());
        combo->setCurrentIndex(2);
        Q_EMIT combo->activated(2);
        QTRY_VERIFY(!prompter.shown.isEmpty());
        QVERIFY2(prompter.messages().first().contains(said), qPrintable(prompter.messages().first()));
        if (yes)
            QTRY_COMPARE(prompter.shown.size(), 2); // the rescan's summary
        QTRY_COMPARE(titles(catalogue).first(), title);
        QCOMPARE(media.codepage(QStringLiteral("CD02")), codepage);
        QCOMPARE(table->item(0, MediaWindow::CodePageColumn)->text(), codepage);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lblStatus"))->text(), status);
        QVERIFY(media.hasChanges()); // written by the catalogue's Save
        QVERIFY(!QFileInfo::exists(media.path()));
    }

    // The tag choice beside the code page: previewed on the titles, then
    // saved and applied by a rescan on Yes.
    void chooseTags()
    {
        QTemporaryDir dir;
        const QString medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"),
                           id3v2Tag(3, id3v2TextFrame(3, "TIT2", 3, "Love Me Do")) + taggedMp3("Love")));
        CatalogueModel catalogue;
        catalogue.appendRows(scanMedia(medium, QStringLiteral("CD02")).rows);
        RecordingPlatform platform;
        platform.volumes = QList<MountedVolume>();
        MediaSession media(dir.filePath(QStringLiteral("media.json")), platform);
        QVERIFY(media.noteScan(QStringLiteral("CD02"), medium, mediumTotals(catalogue.rows(), QStringLiteral("CD02")))
                    .isEmpty());
        media.refresh(catalogue.rows());
        ScriptedPrompter prompter;
        prompter.answers << Prompter::Answer::Yes << Prompter::Answer::Yes;
        MediaWindow window(catalogue, media, prompter);
        auto *table = window.findChild<QTableWidget *>(QStringLiteral("lstMedia"));
        QCOMPARE(table->horizontalHeaderItem(MediaWindow::TagsColumn)->text(), QStringLiteral("Tags"));
        window.show();
        table->editItem(table->item(0, MediaWindow::TagsColumn));
        auto *combo = table->viewport()->findChild<QComboBox *>();
        QVERIFY(combo);
        QCOMPARE(combo->accessibleName(), QStringLiteral("Tags"));
        combo->setCurrentIndex(combo->findText(QStringLiteral("id3v2")));
        Q_EMIT combo->activated(combo->currentIndex());
        QTRY_COMPARE(prompter.shown.size(), 2); // the preview, then the rescan's summary
        QVERIFY2(prompter.messages().first().contains(QStringLiteral("Take the fields of CD02 from id3v2 first instead "
                                                                     "of id3v1?\n\nTitles now and as id3v2:\na.mp3: "
                                                                     "Love \u2192 Love Me Do\n")),
                 qPrintable(prompter.messages().first()));
        QTRY_COMPARE(titles(catalogue), QStringList{"Love Me Do"});
        QCOMPARE(media.tags(QStringLiteral("CD02")), QStringLiteral("id3v2"));
        QVERIFY(!QFileInfo::exists(media.path()));
    }

    // A library's entries are on no medium: not listed, not counted; the
    // library view offers no Rescan and no cell to edit.
    void libraryView()
    {
        QTemporaryDir dir;
        CatalogueModel catalogue;
        catalogue.append(entryOf({"/cd/a.mp3", "CD02"}).record, EntryOrigin::Own);
        catalogue.append(entryOf({"/lib/b.mp3", "CD02"}).record, EntryOrigin::Library);
        catalogue.append(entryOf({"/lib/c.mp3", "LIB"}).record, EntryOrigin::Library);
        RecordingPlatform platform;
        MediaSession media(dir.filePath(QStringLiteral("media.json")), platform);
        ScriptedPrompter prompter;
        MediaWindow window(catalogue, media, prompter);
        window.setViewOnly();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *table = window.findChild<QTableWidget *>(QStringLiteral("lstMedia"));
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, MediaWindow::FilesColumn)->text(), QStringLiteral("1"));
        QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("cmdRescan"))->isVisible());
        QVERIFY(!(table->item(0, MediaWindow::NoteColumn)->flags() & Qt::ItemIsEditable));
        // Nor renamed or removed: F2 and Delete ask nothing and change nothing.
        table->selectRow(0);
        table->setFocus();
        prompter.texts << QStringLiteral("CD03");
        prompter.answers << Prompter::Answer::Yes;
        for (const Qt::Key key : {Qt::Key_F2, Qt::Key_Delete})
            QTest::keyClick(table, key);
        QVERIFY(prompter.shown.isEmpty());
        QCOMPARE(catalogue.rows().field(0, FieldSource), QStringLiteral("CD02"));
        QVERIFY(!media.hasChanges());
    }

    // The desktop rescan keeps the entry of a file it cannot read and says
    // which and why (a link to a file root cannot read either).
    void rescanKeepsUnreadableFile()
    {
        const QString unreadable = unreadableForRoot();
        QVERIFY2(!unreadable.isEmpty(), "no write-only sysfs attribute to stand for an unreadable file");
        QTemporaryDir dir;
        const QString medium = dir.filePath(QStringLiteral("cd"));
        QVERIFY(writeBytes(medium + QStringLiteral("/a.mp3"), taggedMp3("a")));
        QVERIFY(writeBytes(medium + QStringLiteral("/b.mp3"), taggedMp3("b")));
        CatalogueModel catalogue;
        catalogue.appendRows(scanMedia(medium, QStringLiteral("CD02")).rows);
        QVERIFY(QFile::remove(medium + QStringLiteral("/b.mp3")) && makeSymlink(unreadable, medium + QStringLiteral("/b.mp3")));
        RecordingPlatform platform;
        MediaSession media(dir.filePath(QStringLiteral("media.json")), platform);
        ScriptedPrompter prompter;
        QWidget window;
        RescanFlow flow(catalogue, media, prompter, &window);
        QSignalSpy finished(&flow, &RescanFlow::finished);
        flow.start(QStringLiteral("CD02"), medium);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(prompter.messages(), QStringList{QStringLiteral("Rescan CD02: 0 added, 0 removed, 0 changed, 0 moved, "
                                                                 "1 unchanged, 1 not seen (unreadable: b.mp3: Permission denied).")});
        QCOMPARE(titles(catalogue), (QStringList{"a", "b"}));
    }
};

ONDRO_TEST_MAIN(MediaWindowTest)
#include "test_mediawindow_gui.moc"
