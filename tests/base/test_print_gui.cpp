#include "recordedprogress.h"
#include "testenv.h"
#include "testfiles.h"
#include "base/widgets/desktopplatform.h"
#include "base/widgets/lineprinting.h"

#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// The text of a PDF, one string per page, read back with pdftotext.
QStringList pdfPages(const QString &path)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return {};
    QProcess process;
    process.start(pdftotext, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(60000))
        return {};
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QStringList nonEmptyLines(const QString &text)
{
    QStringList lines;
    const QStringList all = text.split(QLatin1Char('\n'));
    for (const QString &line : all) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    return lines;
}

bool havePdfToText()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

} // namespace

class PrintTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void threeLinesInOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("index.pdf"));
        const QStringList lines{QStringLiteral("/media/cd/b.mp3"), QStringLiteral("/media/cd/a.mp3"),
                                QStringLiteral("/media/hd/Bj\u00f6rk/c.mp3")};
        RecordedProgress progress;
        const SaveResult result = LinePrinting::writePdf(
            path, lines.size(), [&](qsizetype i) { return lines[i]; }, &progress);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(progress.steps, (QList<qint64>{1, 2, 3}));
        QCOMPARE(progress.lastTotal, 3);
        QVERIFY(fileBytes(path).startsWith("%PDF-"));
        if (!havePdfToText())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QStringList pages = pdfPages(path);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(nonEmptyLines(pages[0]), lines);
    }

    // Lines flow onto new pages by themselves, none lost or reordered, and
    // every page but the last is full.
    void pageBreaks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("index.pdf"));
        const int count = 400;
        const auto line = [](qsizetype i) { return QStringLiteral("/media/cd/track%1.mp3").arg(i, 4, 10, QLatin1Char('0')); };
        QVERIFY(LinePrinting::writePdf(path, count, line).ok);
        if (!havePdfToText())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QStringList pages = pdfPages(path);
        QVERIFY2(pages.size() > 1, qPrintable(QString::number(pages.size())));
        QStringList all;
        QList<qsizetype> perPage;
        for (const QString &page : pages) {
            const QStringList lines = nonEmptyLines(page);
            perPage << lines.size();
            all << lines;
        }
        QCOMPARE(all.size(), count);
        for (int i = 0; i < count; ++i)
            QCOMPARE(all[i], line(i));
        for (qsizetype p = 1; p + 1 < perPage.size(); ++p)
            QCOMPARE(perPage[p], perPage[0]);
        QVERIFY(perPage.last() <= perPage[0]);
    }

    // A path wider than the page goes on over the next lines, broken after
    // a folder's "/", nothing lost.
    void longPathWraps()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("index.pdf"));
        QString line = QStringLiteral("/media/cd");
        for (int i = 0; i < 30; ++i)
            line += QStringLiteral("/Folder number %1").arg(i);
        line += QStringLiteral("/Track 4 - Radio.mp3");
        QVERIFY(LinePrinting::writePdf(path, 1, [&](qsizetype) { return line; }).ok);
        if (!havePdfToText())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QStringList lines = nonEmptyLines(pdfPages(path).join(QString()));
        QVERIFY2(lines.size() > 1, qPrintable(lines.join(QLatin1Char('|'))));
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QVERIFY2(lines[i].endsWith(QLatin1Char('/')), qPrintable(lines[i]));
        QCOMPARE(lines.join(QString()), line);
    }

    // A line break inside a value prints as a blank, not glued to the
    // text around it.
    void lineBreaksPrintAsBlanks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("index.pdf"));
        const QString line = QStringLiteral("/cd/one\r\ntwo\u2028three\vfour.mp3");
        QVERIFY(LinePrinting::writePdf(path, 1, [&](qsizetype) { return line; }).ok);
        if (!havePdfToText())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QCOMPARE(nonEmptyLines(pdfPages(path).join(QString())).join(QLatin1Char('|')).simplified(),
                 QStringLiteral("/cd/one two three four.mp3"));
    }

    void emptyDocument()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("index.pdf"));
        QVERIFY(LinePrinting::writePdf(path, 0, [](qsizetype) { return QString(); }).ok);
        QVERIFY(fileBytes(path).startsWith("%PDF-"));
    }

    // A folder that cannot be made gives a reason and leaves no file; an
    // older document is kept whole when the new one cannot be written.
    void unwritableTarget()
    {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("plain"));
        {
            QFile f(plain);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        const SaveResult result =
            LinePrinting::writePdf(plain + QStringLiteral("/index.pdf"), 1, [](qsizetype) { return QStringLiteral("x"); });
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(fileBytes(plain), QByteArray("old"));

        // The target is a folder: the finished temporary file cannot replace it.
        const QString folder = dir.filePath(QStringLiteral("index.pdf"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!LinePrinting::writePdf(folder, 1, [](qsizetype) { return QStringLiteral("x"); }).ok);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("plain")});
    }

    void desktopPlatformWithoutPrinter()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("this machine has a default printer");
        DesktopPlatform platform;
        int asked = 0;
        const auto outcome = platform.printLines(
            2, [&](qsizetype) { ++asked; return QStringLiteral("line"); }, nullptr);
        QCOMPARE(outcome, Platform::PrintOutcome::NoPrinter);
        QCOMPARE(asked, 0);
    }
};

ONDRO_TEST_MAIN(PrintTest)
#include "test_print_gui.moc"
