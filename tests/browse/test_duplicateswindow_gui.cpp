#include "browse/widgets/duplicateswindow.h"
#include "catalogue/cataloguemodel.h"
#include "testenv.h"
#include "trackrows.h"
#include "widgetlookup.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {

// Four copies of one audio on media online (CD1, CD3) and offline (CD2),
// between them two copies of other audio.
void fillCatalogue(CatalogueModel &catalogue)
{
    RowStore rows;
    const auto add = [&rows](const char *source, const char *extension) {
        rows.append(entryOf({"/a.mp3", source, "X", "Y"}).record, EntryOrigin::Own, extension);
    };
    add("CD1", "ondro:1 aid=aa kbps=96 mode=cbr size=3000");
    add("CD2", "ondro:1 aid=aa kbps=320 mode=cbr size=9000");
    add("CD3", "ondro:1 aid=aa kbps=160 mode=cbr size=3500");
    add("CD1", "ondro:1 aid=bb kbps=128");
    add("CD1", "ondro:1 aid=aa kbps=160 mode=vbr size=3400");
    add("CD2", "ondro:1 aid=bb kbps=320");
    catalogue.appendRows(std::move(rows));
}

QList<qsizetype> rowsOf(const QSignalSpy &spy)
{
    return spy.isEmpty() ? QList<qsizetype>{} : spy.last().at(0).value<QList<qsizetype>>();
}

} // namespace

class DuplicatesWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Marks all but the best copy, asks for the copy chosen, and after a
    // copy left the catalogue shows no row of it.
    void actsOnCopiesAndFollowsTheCatalogue()
    {
        CatalogueModel catalogue;
        fillCatalogue(catalogue);
        DuplicatesWindow window(catalogue, DuplicatesWindow::find(catalogue.rows()),
                                [](const QString &source) -> std::optional<bool> { return source != "CD2"; });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTreeWidget *tree = child<QTreeWidget>(window, "lstDuplicates");
        QCOMPARE(tree->topLevelItemCount(), 2);
        QTreeWidgetItem *group = tree->topLevelItem(0); // the largest first
        QCOMPARE(group->childCount(), 4);
        QCOMPARE(group->child(1)->text(DuplicatesWindow::KbpsColumn), QStringLiteral("320"));
        QCOMPARE(group->child(3)->text(DuplicatesWindow::ModeColumn), QStringLiteral("VBR"));

        QSignalSpy marked(&window, &DuplicatesWindow::markRequested);
        child<QPushButton>(window, "cmdMarkAllButBest")->click();
        // The online VBR 160 stays, and the online copy over the offline one.
        QCOMPARE(rowsOf(marked), (QList<qsizetype>{0, 1, 2, 5}));

        // Sorted by bitrate as numbers: 96 before 160 before 320.
        QHeaderView *header = tree->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(DuplicatesWindow::KbpsColumn) + 5, 5));
        QCOMPARE(group->child(0)->text(DuplicatesWindow::KbpsColumn), QStringLiteral("96"));
        QCOMPARE(group->child(3)->text(DuplicatesWindow::KbpsColumn), QStringLiteral("320"));

        QSignalSpy selected(&window, &DuplicatesWindow::selectRequested);
        tree->setFocus();
        tree->setCurrentItem(group->child(3));
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.last().at(0).value<qsizetype>(), qsizetype(1));

        QSignalSpy removed(&window, &DuplicatesWindow::removeRequested);
        QTest::keyClick(tree, Qt::Key_Delete);
        QCOMPARE(rowsOf(removed), QList<qsizetype>{1});
        catalogue.removeEntries(std::vector<qsizetype>{0, 1});
        // The rows left moved up: a copy still asks for its own entry.
        group = tree->topLevelItem(0);
        tree->setCurrentItem(group->child(0));
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(catalogue.field(selected.last().at(0).value<qsizetype>(), FieldSource),
                 group->child(0)->text(DuplicatesWindow::SourceColumn));
        QCOMPARE(group->childCount(), 2);
        QStringList sources;
        for (int i = 0; i < group->childCount(); ++i)
            sources << group->child(i)->text(DuplicatesWindow::SourceColumn);
        sources.sort();
        QCOMPARE(sources, (QStringList{"CD1", "CD3"}));
        catalogue.removeEntries(std::vector<qsizetype>{0});
        QTRY_COMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(DuplicatesWindow::KbpsColumn), QStringLiteral("128"));
    }
};

ONDRO_TEST_MAIN(DuplicatesWindowTest)
#include "test_duplicateswindow_gui.moc"
