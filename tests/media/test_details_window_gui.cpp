#include "media/frameheader.h"
#include "media/widgets/detailswindow.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "widgetlookup.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

CatalogueEntry sampleEntry(EntryOrigin origin = EntryOrigin::Own)
{
    CatalogueEntry entry;
    entry.record = {QStringLiteral("/media/cd/Some Artist - Song.mp3"),
                    QStringLiteral("CD02"),
                    QStringLiteral("Some Artist"),
                    QStringLiteral("Song"),
                    QStringLiteral("The Album"),
                    QStringLiteral("1999"),
                    QStringLiteral("Rock"),
                    QString(),
                    QStringLiteral("11111111 11111011 10010000 01100100 ")};
    entry.origin = origin;
    return entry;
}

QString text(Form4 &form, const char *name)
{
    return child<QLineEdit>(form, name)->text();
}

QPixmap samplePicture()
{
    QPixmap pixmap(300, 200);
    pixmap.fill(Qt::red);
    return pixmap;
}

} // namespace

class DetailsWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void showsTheEntry()
    {
        RecordingPlatform platform;
        ScriptedPrompter prompter;
        Form4 form(sampleEntry(), QPixmap(), platform, prompter);
        QCOMPARE(form.windowTitle(), QStringLiteral("/media/cd/Some Artist - Song.mp3"));
        QCOMPARE(text(form, "Text1"), QStringLiteral("CD02"));
        QCOMPARE(text(form, "Text2"), QStringLiteral("Some Artist"));
        QCOMPARE(text(form, "Text3"), QStringLiteral("Song"));
        QCOMPARE(text(form, "Text4"), QStringLiteral("The Album"));
        QCOMPARE(text(form, "Text5"), QStringLiteral("1999"));
        QCOMPARE(text(form, "Text6"), QStringLiteral("Rock"));
        QCOMPARE(text(form, "Text8"), QStringLiteral("11111111 11111011 10010000 01100100"));
        QCOMPARE(text(form, "Text7"),
                 QStringLiteral("MPEG Version 1 (ISO/IEC 11172-3)  : Layer 3 : 128 kbps : 44100khz : "
                                "Joint stereo (Stereo)"));

        const struct { const char *label, *caption; } labels[] = {
            {"Label1", "Source"}, {"Label2", "Artist"}, {"Label4", "Track"},
            {"Label3", "Album"},  {"Label5", "Year"},   {"Label6", "Genre"},
        };
        for (const auto &l : labels)
            QCOMPARE(child<QLabel>(form, l.label)->text(), QLatin1String(l.caption));
        QCOMPARE(child<QGroupBox>(form, "Frame1")->title(), QStringLiteral(" ID3 Tag Info "));
        QCOMPARE(child<QGroupBox>(form, "Frame2")->title(), QStringLiteral(" Album Cover "));
        QCOMPARE(child<QGroupBox>(form, "Frame3")->title(), QStringLiteral(" File Frame Header Info "));
        QCOMPARE(child<QLabel>(form, "Image1")->toolTip(), QStringLiteral("CD/Cassette Cover Image"));
        QCOMPARE(child<QPushButton>(form, "Command2")->toolTip(), QStringLiteral("Launch MP3 Player"));
        QVERIFY(!child<QPushButton>(form, "Command2")->icon().isNull());
        QCOMPARE(child<QPushButton>(form, "Command1")->text(), QStringLiteral("&Ok"));

        for (const char *name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"})
            QVERIFY2(child<QLineEdit>(form, name)->isReadOnly(), name);
        form.show();
        QVERIFY(!child<QLineEdit>(form, "Text8")->isVisible());
        QVERIFY(child<QLineEdit>(form, "Text7")->isVisible());

        // Header and source green on black; the tag fields look read-only:
        // no edit background, no frame.
        for (const char *name : {"Text1", "Text7"}) {
            const QPalette p = child<QLineEdit>(form, name)->palette();
            QCOMPARE(p.color(QPalette::Text), QColor(0, 255, 0));
            QCOMPARE(p.color(QPalette::Base), QColor(Qt::black));
        }
        for (const char *name : {"Text2", "Text3", "Text4", "Text5", "Text6"}) {
            const QPalette p = child<QLineEdit>(form, name)->palette();
            QCOMPARE(p.color(QPalette::Base).alpha(), 0);
            QVERIFY(!child<QLineEdit>(form, name)->hasFrame());
        }

        // "&Ok" closes without touching anything.
        child<QPushButton>(form, "Command1")->click();
        QVERIFY(!form.isVisible());
        QVERIFY(platform.opened.isEmpty());
        QVERIFY(prompter.shown.isEmpty());
    }

    void entryWithoutTagOrHeader()
    {
        CatalogueEntry entry;
        entry.record.filename = QStringLiteral("/media/cd/bare.mp3");
        entry.record.source = QStringLiteral("CD05");
        entry.record.audioheader = QStringLiteral("   ");
        RecordingPlatform platform;
        ScriptedPrompter prompter;
        Form4 form(entry, QPixmap(), platform, prompter);
        for (const char *name : {"Text2", "Text3", "Text4", "Text5", "Text6", "Text8"})
            QVERIFY2(text(form, name).isEmpty(), name);
        QCOMPARE(text(form, "Text7"), QStringLiteral(" kbps : khz : "));
    }

    // Numbers and stream notes come from the facts, only where they hold them.
    void factsShownWhenPresent_data()
    {
        QTest::addColumn<QByteArray>("facts");
        QTest::addColumn<QString>("track");
        QTest::addColumn<QString>("disc");
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<QStringList>("measured"); // playing time, bitrate, sample rate, encoder, size
        QTest::newRow("none") << QByteArray("ondro:1 size=1 dur=2.0") << QString() << QString() << QStringList{}
                              << QStringList{"0:02", "", "", "", "1 bytes"};
        QTest::newRow("measured") << QByteArray("ondro:1 size=4823112 dur=215.3 kbps=128 mode=cbr rate=44100 "
                                                "enc=LAME%203.100")
                                  << QString() << QString() << QStringList{}
                                  << QStringList{"3:35", "128 kbps CBR", "44100 Hz", "LAME 3.100", "4.6 MB"};
        QTest::newRow("numbers, short")
            << QByteArray("ondro:1 dur=2.0 est=1 dmg=short trk=3 disc=1") << "3" << "1"
            << QStringList{"Damaged: cut short"} << QStringList{"0:02", "", "", "", ""};
        QTest::newRow("estimated") << QByteArray("ondro:1 dur=2.0 est=1") << QString() << QString()
                                   << QStringList{"Estimated: no header"} << QStringList{"0:02", "", "", "", ""};
        QTest::newRow("long") << QByteArray("ondro:1 dmg=long trk=12") << "12" << QString()
                              << QStringList{"Damaged: longer than its header says"} << QStringList{"", "", "", "", ""};
    }
    void factsShownWhenPresent()
    {
        QFETCH(QByteArray, facts);
        QFETCH(QString, track);
        QFETCH(QString, disc);
        QFETCH(QStringList, notes);
        QFETCH(QStringList, measured);
        RecordingPlatform platform;
        ScriptedPrompter prompter;
        Form4 form(sampleEntry(), QPixmap(), platform, prompter, nullptr, facts);
        const auto shown = [&](const char *name) {
            const auto *edit = form.findChild<QLineEdit *>(QLatin1String(name));
            return edit ? edit->text() : QString();
        };
        QCOMPARE(shown("Text9"), track);
        QCOMPARE(shown("Text10"), disc);
        QCOMPARE((QStringList{shown("Text11"), shown("Text12"), shown("Text13"), shown("Text14"), shown("Text15")}),
                 measured);
        const QLabel *note = form.findChild<QLabel *>(QStringLiteral("StreamNote"));
        QCOMPARE(note != nullptr, !notes.isEmpty());
        for (const QString &n : notes)
            QVERIFY2(note->text().contains(n), qPrintable(note->text()));
        if (note) // one note at most: damage says why the time is what it is
            QCOMPARE(note->text().count(u'\n'), 0);
        QCOMPARE(text(form, "Text5"), QStringLiteral("1999")); // the tag fields stay as they were
    }

    void libraryEntryCannotBePlayed()
    {
        RecordingPlatform platform;
        ScriptedPrompter prompter;
        Form4 library(sampleEntry(EntryOrigin::Library), QPixmap(), platform, prompter);
        QVERIFY(!child<QPushButton>(library, "Command2")->isEnabled());
        QCOMPARE(text(library, "Text2"), QStringLiteral("Some Artist"));
        Form4 own(sampleEntry(EntryOrigin::Own), QPixmap(), platform, prompter);
        QVERIFY(child<QPushButton>(own, "Command2")->isEnabled());
    }

    // Failures to start the player are asked about (codes 0 to 2 only);
    // while the file's medium is not mounted the question names it.
    void launchRetriesOnlyOnCodesUpToTwo_data()
    {
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QList<Prompter::Answer>>("answers");
        QTest::addColumn<int>("offline"); // questions asked while the medium is not mounted
        QTest::addColumn<int>("opens");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("notice"); // the file's place told at the end
        using A = Prompter::Answer;
        QTest::newRow("handed over") << QList<int>{42} << QList<A>{} << 0 << 1 << 0 << false;
        QTest::newRow("no program (31)") << QList<int>{31} << QList<A>{} << 0 << 1 << 0 << true;
        QTest::newRow("3 counts as done") << QList<int>{3} << QList<A>{} << 0 << 1 << 0 << true;
        QTest::newRow("not found, yes, yes") << QList<int>{2, 2, 42} << QList<A>{A::Yes, A::Yes} << 0 << 3 << 2 << false;
        QTest::newRow("not found, no") << QList<int>{2, 42} << QList<A>{A::No} << 0 << 1 << 1 << false;
        QTest::newRow("out of resources (0)") << QList<int>{0, 42} << QList<A>{A::No} << 0 << 1 << 1 << false;
        QTest::newRow("1, yes, then 31") << QList<int>{1, 31} << QList<A>{A::Yes} << 0 << 2 << 1 << true;
        QTest::newRow("offline, inserted") << QList<int>{2, 42} << QList<A>{A::Yes} << 1 << 2 << 1 << false;
        QTest::newRow("offline, no") << QList<int>{2, 42} << QList<A>{A::No} << 1 << 1 << 1 << false;
        QTest::newRow("offline, inserted, player fails") << QList<int>{2, 2, 42} << QList<A>{A::Yes, A::No} << 1 << 2
                                                         << 2 << false;
    }

    void launchRetriesOnlyOnCodesUpToTwo()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QList<Prompter::Answer>, answers);
        QFETCH(int, offline);
        QFETCH(int, opens);
        QFETCH(int, questions);
        QFETCH(bool, notice);
        RecordingPlatform platform;
        for (int code : codes)
            platform.openResults.enqueue(code);
        ScriptedPrompter prompter;
        for (Prompter::Answer a : answers)
            prompter.answers.enqueue(a);
        const QString insert = QStringLiteral("CD02 (note \"Shelf B\") is not mounted. Insert it and try again?");
        Form4 form(sampleEntry(), QPixmap(), platform, prompter);
        int stillOffline = offline;
        form.setOfflineQuestion([&] { return stillOffline-- > 0 ? insert : QString(); });
        form.show();
        child<QPushButton>(form, "Command2")->click();

        QCOMPARE(platform.opened.size(), opens);
        for (const QString &path : std::as_const(platform.opened))
            QCOMPARE(path, QStringLiteral("/media/cd/Some Artist - Song.mp3"));
        QCOMPARE(prompter.shown.size(), questions + int(notice));
        if (notice) {
            const ScriptedPrompter::Shown told = prompter.shown.takeLast();
            QVERIFY(told.text.endsWith(QStringLiteral("/media/cd/Some Artist - Song.mp3")));
            QCOMPARE(told.buttons, Prompter::Buttons::Ok);
        }
        for (qsizetype i = 0; i < prompter.shown.size(); ++i) {
            const ScriptedPrompter::Shown &s = prompter.shown.at(i);
            QCOMPARE(s.text, i < offline ? insert : QStringLiteral("Error launching MP3 player on this file.  Try again?"));
            QCOMPARE(s.buttons, Prompter::Buttons::YesNo);
        }
        QVERIFY(form.isVisible());
    }

    void coverShownOnlyWhenGiven()
    {
        RecordingPlatform platform;
        ScriptedPrompter prompter;
        Form4 without(sampleEntry(), QPixmap(), platform, prompter);
        QVERIFY(child<QLabel>(without, "Image1")->pixmap().isNull());

        Form4 with(sampleEntry(), samplePicture(), platform, prompter);
        QLabel *image1 = child<QLabel>(with, "Image1");
        const QPixmap shown = image1->pixmap();
        QVERIFY(!shown.isNull());
        // Scaled into the picture box, keeping its shape.
        QVERIFY(shown.width() <= image1->width() && shown.height() <= image1->height());
        QCOMPARE(shown.width() * 2, shown.height() * 3);
        QCOMPARE(shown.toImage().pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::red));
    }
};

ONDRO_TEST_MAIN(DetailsWindowTest)
#include "test_details_window_gui.moc"
