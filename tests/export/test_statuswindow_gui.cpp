#include "catalogue/cataloguelistfile.h"
#include "recordingplatform.h"
#include "scriptedprompter.h"
#include "testenv.h"
#include "testfiles.h"
#include "base/widgets/lineprinting.h"
#include "export/widgets/statuswindow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QProgressBar>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Records like the test platform, but paints the PDF fallback for real.
struct PdfPlatform : RecordingPlatform
{
    SaveResult writePdf(const QString &path, qsizetype count, const std::function<QString(qsizetype)> &line,
                        WorkProgress *progress) override
    {
        return LinePrinting::writePdf(path, count, line, progress);
    }
};

struct Fixture
{
    QTemporaryDir dir;
    CatalogueModel catalogue;
    PdfPlatform platform;
    ScriptedPrompter prompter;
    StatusJobContext context{catalogue,
                             Settings::defaults(),
                             platform,
                             dir.filePath(QStringLiteral("ondro2k.ini")),
                             dir.filePath(QStringLiteral("zembra.lst")),
                             dir.filePath(QStringLiteral("exports"))};

    void addRows(qsizetype count)
    {
        RowStore rows;
        rows.reserve(count);
        const QByteArray empty;
        for (qsizetype i = 0; i < count; ++i) {
            const QByteArray name = "/cd/" + QByteArray::number(i) + ".mp3";
            rows.appendUtf8({name, "CD01", empty, empty, empty, empty, empty, empty, empty},
                            i % 10 == 9 ? EntryOrigin::Library : EntryOrigin::Own);
        }
        catalogue.appendRows(std::move(rows));
    }
};

} // namespace

class StatusFormTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void controlsAndTexts()
    {
        StatusForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Ondro"));
        auto *frame = form.findChild<QGroupBox *>(QStringLiteral("Frame1"));
        QVERIFY(frame);
        QCOMPARE(frame->title(), QStringLiteral(" Progress "));
        auto *bar = frame->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        QVERIFY(bar);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);
    }

    void barEndsAtHundred_data()
    {
        QTest::addColumn<int>("job");
        QTest::newRow("SAVE") << int(StatusJob::Save);
        QTest::newRow("PRINT") << int(StatusJob::Print);
        QTest::newRow("EXPORTTEXT") << int(StatusJob::ExportText);
    }
    void barEndsAtHundred()
    {
        QFETCH(int, job);
        Fixture f;
        f.addRows(3);
        StatusForm form;
        auto *bar = form.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        QList<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values << v; });

        const StatusJobResult result = form.execute(StatusJob(job), f.context);
        QVERIFY(result.ok);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.statusJobMode(), statusJobModeText(StatusJob(job)));
        QCOMPARE(bar->value(), 100);
        QCOMPARE(values, (QList<int>{33, 66, 100}));
    }

    // A million rows: the window's event loop keeps running while the
    // worker saves (a timer on the window's thread keeps firing), and the
    // bar moves in at most 100 whole steps up to 100.
    void millionRowsSaveWithTheBarMoving()
    {
        Fixture f;
        f.addRows(1000000);
        StatusForm form;
        auto *bar = form.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        QList<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values << v; });
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(1);
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start();

        QElapsedTimer clock;
        clock.start();
        QVERIFY(form.execute(StatusJob::Save, f.context).ok);
        qInfo("1,000,000 rows saved in %lld ms, %d timer ticks, %lld bar steps", clock.elapsed(), ticks,
              qint64(values.size()));
        QVERIFY(ticks > 0);
        QVERIFY(values.size() > 10);
        QVERIFY(values.size() <= 100);
        QCOMPARE(values.last(), 100);
        QCOMPARE(CatalogueListFile::read(f.context.listPath).rows.size(), 900000);
    }

    // Escape and the window's close request are refused while the job runs:
    // the window closes only when the job is over.
    void cannotBeClosedWhileRunning()
    {
        Fixture f;
        f.addRows(300000);
        StatusForm form;
        int triesWhileRunning = 0;
        QTimer closer;
        closer.setInterval(0);
        connect(&closer, &QTimer::timeout, &form, [&] {
            if (form.isRunning())
                ++triesWhileRunning;
            form.reject();
            form.close();
        });
        closer.start();
        QVERIFY(form.execute(StatusJob::Save, f.context).ok);
        closer.stop();
        QVERIFY(triesWhileRunning > 0);
        QVERIFY(!form.isRunning());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(CatalogueListFile::read(f.context.listPath).rows.size(), 270000);
    }

    void failedSaveIsReported()
    {
        Fixture f;
        f.addRows(2);
        const QString plain = f.dir.filePath(QStringLiteral("plain"));
        {
            QFile file(plain);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
        }
        f.context.listPath = plain + QStringLiteral("/zembra.lst");
        QVERIFY(!StatusForm::run(StatusJob::Save, f.context, f.prompter, nullptr));
        QCOMPARE(f.prompter.shown.size(), 1);
        QCOMPARE(f.prompter.shown[0].icon, Prompter::Icon::Critical);
        QCOMPARE(f.prompter.shown[0].title, QStringLiteral("Ondro"));
        QVERIFY(f.prompter.shown[0].text.contains(f.context.listPath));
        QCOMPARE(fileBytes(plain), QByteArray("kept"));
    }

    void exportTextIsOpened()
    {
        Fixture f;
        f.addRows(3);
        QVERIFY(StatusForm::run(StatusJob::ExportText, f.context, f.prompter, nullptr));
        const QString path = f.context.exportsFolder + QStringLiteral("/ondrolist.txt");
        QCOMPARE(f.platform.opened, QStringList{path});
        QVERIFY(f.prompter.shown.isEmpty());
        QCOMPARE(fileBytes(path), QByteArray("/cd/0.mp3\r\n/cd/1.mp3\r\n/cd/2.mp3\r\n"));
    }

    // With no printer the host window writes a real PDF through the print
    // support, tells the user where it is, then opens it.
    void noPrinterGivesOpenedPdf()
    {
        Fixture f;
        f.addRows(3);
        f.platform.hasPrinter = false;
        QVERIFY(StatusForm::run(StatusJob::Print, f.context, f.prompter, nullptr));
        const QString pdf = f.context.exportsFolder + QStringLiteral("/ondroindex.pdf");
        QCOMPARE(f.prompter.messages(),
                 QStringList{QStringLiteral("No printer is installed. The index was saved instead as:\n%1").arg(pdf)});
        QCOMPARE(f.prompter.shown[0].icon, Prompter::Icon::Information);
        QCOMPARE(f.platform.opened, QStringList{pdf});
        QVERIFY(fileBytes(pdf).startsWith("%PDF-"));

        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QProcess process;
        process.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(process.waitForFinished(30000));
        const QString text = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("/cd/0.mp3")) && text.contains(QStringLiteral("/cd/2.mp3")),
                 qPrintable(text));
    }
};

ONDRO_TEST_MAIN(StatusFormTest)
#include "test_statuswindow_gui.moc"
