#include "browse/widgets/statisticswindow.h"
#include "testenv.h"
#include "widgetlookup.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

class StatisticsWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The tables show the report's lines as they come; Copy puts the
    // tab-separated report on the clipboard.
    void showsAndCopies()
    {
        Statistics::Tally tally;
        tally.add({"/a.mp3", "CD02", "", "", "", "1994", "Rock", "", ""},
                  "ondro:1 size=4823112 dur=4000.0 kbps=128 mode=cbr");
        tally.add({"/b.mp3", "CD02", "", "", "", "", "Rock", "", ""}, "");
        const Statistics::Report report = tally.report();
        StatisticsWindow window(report, QStringLiteral("CD02"));
        window.show();
        QCOMPARE(child<QLabel>(window, "lblSubtitle")->text(), QStringLiteral("CD02"));
        QCOMPARE(child<QLabel>(window, "lblSummary")->text(),
                 QStringLiteral("2 entries, 4.60 MiB, playing time 1:06:40 (1 without a size, 1 without a playing time)"));
        QTableWidget *decades = child<QTableWidget>(window, "tblDecade");
        QCOMPARE(decades->rowCount(), 2);
        const QStringList first{decades->item(0, 0)->text(), decades->item(0, 1)->text(), decades->item(0, 2)->text(),
                                decades->item(0, 3)->text()};
        QCOMPARE(first, (QStringList{"(unknown)", "1", "", ""}));
        QCOMPARE(decades->item(1, 3)->text(), QStringLiteral("1:06:40"));
        // A click on the key's header sorts the keys naturally: the unknown last.
        QHeaderView *header = decades->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(decades->item(0, 0)->text(), QStringLiteral("1990s"));
        QCOMPARE(decades->item(1, 0)->text(), QStringLiteral("(unknown)"));

        QCOMPARE(window.findChildren<QTableWidget *>().size(), Statistics::BreakdownCount);
        for (QWidget *w : window.findChildren<QWidget *>()) {
            if (qobject_cast<QTableWidget *>(w) || qobject_cast<QPushButton *>(w))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        QGuiApplication::clipboard()->clear();
        child<QPushButton>(window, "cmdCopy")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), Statistics::tabSeparated(report));
        child<QPushButton>(window, "cmdClose")->click();
        QVERIFY(!window.isVisible());
    }
};

ONDRO_TEST_MAIN(StatisticsWindowTest)
#include "test_statisticswindow_gui.moc"
