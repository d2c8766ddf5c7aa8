#include "app/mainlayout.h"
#include "testenv.h"

class MainLayoutTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void figures_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("windowWidth");
        QTest::addColumn<int>("windowHeight");
        QTest::addColumn<int>("frame2Width"); // also Frame3's
        QTest::addColumn<int>("listView1Width");
        QTest::addColumn<int>("frame1Top");
        QTest::addColumn<int>("frame2Height");
        QTest::addColumn<int>("listView1Height");
        QTest::addColumn<int>("imageTop");

        QTest::newRow("12000 wide") << 12000 << 10000 << 12000 << 10000 << 11745 << 11505 << 6640 << 5330 << 4970
                                    << 7000;
        QTest::newRow("8000 high is raised") << 10000 << 8000 << 10000 << 9210 << 9745 << 9505 << 5850 << 4540
                                             << 4180 << 6210;
        QTest::newRow("reset window 10860 by 9020") << 10860 << 9020 << 10860 << 9210 << 10605 << 10365 << 5850
                                                    << 4540 << 4180 << 6210;
        QTest::newRow("exactly the minimum") << 10860 << 9210 << 10860 << 9210 << 10605 << 10365 << 5850 << 4540
                                             << 4180 << 6210;
        QTest::newRow("narrowest with an empty list") << 495 << 9210 << 495 << 9210 << 240 << 0 << 5850 << 4540
                                                      << 4180 << 6210;
    }
    void figures()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        const MainLayout layout = layoutMainWindow(width, height);
        QVERIFY(layout.complete);
        QTEST(layout.windowWidth, "windowWidth");
        QTEST(layout.windowHeight, "windowHeight");
        QTEST(layout.frame2.width, "frame2Width");
        QTEST(layout.frame3.width, "frame2Width");
        QTEST(layout.listView1.width, "listView1Width");
        QTEST(layout.frame1.top, "frame1Top");
        QTEST(layout.frame2.height, "frame2Height");
        QTEST(layout.listView1.height, "listView1Height");
        QTEST(layout.image1.top, "imageTop");
        QTEST(layout.image2.top, "imageTop");
    }

    // Lefts, the bottom controls' sizes, the tool bar and its buttons keep
    // their designer values whatever the size.
    void nothingElseMoves()
    {
        const MainLayout designer = designerMainLayout(0, 0);
        const MainLayout layout = layoutMainWindow(15000, 12000);
        QCOMPARE(layout.frame1.width, designer.frame1.width);
        QCOMPARE(layout.frame1.height, designer.frame1.height);
        QCOMPARE(layout.frame1.left, designer.frame1.left);
        QCOMPARE(layout.listView2, designer.listView2);
        QCOMPARE(layout.frame3.height, 1215);
        QCOMPARE(layout.frame2.top, 1200);
        QCOMPARE(layout.listView1.left, 120);
        QCOMPARE(layout.listView1.top, 240);
        QCOMPARE(layout.image1.left, 8520);
        QCOMPARE(layout.image1.width, 1815);
        QCOMPARE(layout.image2.left, 8400);
        QCOMPARE(layout.image2.width, 180);
        QCOMPARE(layout.buttons, designer.buttons);
        QCOMPARE(layout.buttons[0], (TwipsRect{240, 240, 975, 855}));
        QCOMPARE(layout.buttons[6], (TwipsRect{6720, 240, 975, 855}));
    }

    // A negative width stops the rules at that step: later steps keep the
    // designer values, including the height of a window below the minimum.
    void failingStepSkipsTheRest_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("frame2Width");
        QTest::newRow("Frame2 would be negative") << 200 << 10575;
        QTest::newRow("ListView1 would be negative") << 400 << 145;
    }
    void failingStepSkipsTheRest()
    {
        QFETCH(int, width);
        QFETCH(int, frame2Width);
        const MainLayout designer = designerMainLayout(width, 8000);
        const MainLayout layout = layoutMainWindow(width, 8000);
        QVERIFY(!layout.complete);
        QCOMPARE(layout.frame2.width, frame2Width);
        QCOMPARE(layout.listView1.width, designer.listView1.width);
        QCOMPARE(layout.frame3.width, designer.frame3.width);
        QCOMPARE(layout.windowHeight, 8000);
        QCOMPARE(layout.frame1.top, designer.frame1.top);
        QCOMPARE(layout.listView1.height, designer.listView1.height);
    }

    void twipsAndPixels_data()
    {
        QTest::addColumn<double>("twips");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("one inch at 96") << 1440.0 << 96.0 << 96;
        QTest::newRow("minimum height at 96") << 9210.0 << 96.0 << 614;
        QTest::newRow("15 twips per pixel at 96") << 15.0 << 96.0 << 1;
        QTest::newRow("rounds half up") << 7.5 << 96.0 << 1;
        QTest::newRow("at 144") << 10860.0 << 144.0 << 1086;
    }
    void twipsAndPixels()
    {
        QFETCH(double, twips);
        QFETCH(double, dpi);
        QFETCH(int, pixels);
        QCOMPARE(twipsToPixels(twips, dpi), pixels);
        QVERIFY(qAbs(pixelsToTwips(pixels, dpi) - twips) <= 1440.0 / dpi / 2 + 1e-9);
    }

    // Widths read from a settings file: clamped, and none for a number that is none.
    void twipsAtMost_data()
    {
        QTest::addColumn<double>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("in range") << 1440.0 << 96;
        QTest::newRow("huge") << 1e300 << 1000;
        QTest::newRow("infinite") << qInf() << 1000;
        QTest::newRow("not a number") << qQNaN() << 0;
        QTest::newRow("negative") << -1440.0 << -96;
    }
    void twipsAtMost()
    {
        QFETCH(double, twips);
        QFETCH(int, pixels);
        QCOMPARE(twipsToPixelsAtMost(twips, 96.0, 1000), pixels);
    }
};

ONDRO_TEST_MAIN(MainLayoutTest)
#include "test_mainlayout.moc"
