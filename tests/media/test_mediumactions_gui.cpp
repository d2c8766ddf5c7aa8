#include "catalogrows.h"
#include "media/widgets/mediawindow.h"
#include "catalogue/cataloguemodel.h"
#include "media/mediasession.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "widgetlookup.h"

#include <QTableWidget>
#include <QTemporaryDir>

namespace {

QStringList sources(const CatalogueModel &catalogue)
{
    QStringList out;
    for (qsizetype row = 0; row < catalogue.rows().size(); ++row)
        out.append(catalogue.rows().field(row, FieldSource));
    return out;
}

} // namespace

class MediumActionsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // F2 and Delete on the Media window's selected medium, one step after
    // another: a refused ID and a No change nothing; the register follows
    // every change, kept for the catalogue's Save.
    void renameAndRemoveByKeys()
    {
        QTemporaryDir dir;
        CatalogueModel catalogue;
        catalogue.appendRows(CatalogRows::fromPaths({"/a.mp3", "/b.mp3", "/c.mp3"}, {"CD01", "USB02", "USB02"}));
        RecordingPlatform platform;
        platform.volumes = QList<MountedVolume>();
        MediaSession media(dir.filePath(QStringLiteral("media.json")), platform);
        QVERIFY(media.load().isEmpty());
        QVERIFY(media.setNote(QStringLiteral("USB02"), QStringLiteral("Box 3")).isEmpty());
        ScriptedPrompter prompter;
        MediaWindow window(catalogue, media, prompter);
        auto *table = child<QTableWidget>(window, "lstMedia");
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        struct Step
        {
            Qt::Key key;
            QString text;               // typed into the prompt
            Prompter::Answer answer;    // to the question
            QString said;               // in the last message
            QStringList after;          // the entries' sources
            QString record;             // the register's medium with the note
        };
        const QList<Step> steps{
            {Qt::Key_F2, "cd 01", Prompter::Answer::No, "only in case or blanks", {"CD01", "USB02", "USB02"}, "USB02"},
            {Qt::Key_F2, "USB03", Prompter::Answer::No, "", {"CD01", "USB03", "USB03"}, "USB03"},
            {Qt::Key_Delete, "", Prompter::Answer::No, "Remove USB03 and its 2 entries from the catalogue?",
             {"CD01", "USB03", "USB03"}, "USB03"},
            {Qt::Key_Delete, "", Prompter::Answer::Yes, "Remove USB03 and its 2 entries", {"CD01"}, ""},
        };
        for (const Step &step : steps) {
            prompter.shown.clear();
            table->selectRow(table->rowCount() - 1); // the medium after CD01
            table->setFocus();
            if (step.key == Qt::Key_F2)
                prompter.texts << step.text;
            else
                prompter.answers << step.answer;
            QTest::keyClick(table, step.key);
            QCOMPARE(prompter.messages().isEmpty(), step.said.isEmpty());
            if (!step.said.isEmpty())
                QVERIFY2(prompter.messages().last().contains(step.said), qPrintable(prompter.messages().last()));
            QCOMPARE(sources(catalogue), step.after);
            const MediaRegister &kept = media.media();
            QCOMPARE(kept.records().size(), step.record.isEmpty() ? 0 : 1);
            if (!step.record.isEmpty())
                QCOMPARE(kept.find(step.record)->note, QStringLiteral("Box 3"));
            QVERIFY(media.hasChanges());
            QCOMPARE(table->rowCount(), step.record.isEmpty() ? 1 : 2);
        }
    }
};

ONDRO_TEST_MAIN(MediumActionsTest)
#include "test_mediumactions_gui.moc"
