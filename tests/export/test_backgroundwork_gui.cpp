#include "export/widgets/backgroundwork.h"
#include "testenv.h"

#include <QCloseEvent>
#include <QDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QThread>
#include <QWindow>

namespace {

// The progress window on screen, if any.
QProgressDialog *shownProgress()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QProgressDialog *>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

class BackgroundWorkTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Long work shows how far it got (or a busy bar when it cannot tell),
    // the window takes no input meanwhile, and all is gone at the end.
    void longWorkShowsProgress_data()
    {
        QTest::addColumn<bool>("reports");
        QTest::newRow("rows reported") << true;
        QTest::newRow("nothing reported") << false;
    }

    void longWorkShowsProgress()
    {
        QFETCH(bool, reports);
        QWidget window;
        window.show();
        int maximum = -1, value = -1;
        bool windowEnabled = true;
        QTimer::singleShot(800, [&] {
            if (QProgressDialog *dialog = shownProgress()) {
                maximum = dialog->maximum();
                value = dialog->value();
            }
            windowEnabled = window.isEnabled();
        });
        const int result = runInBackground(&window, QStringLiteral("Working..."), [reports](BackgroundProgress &p) {
            for (int i = 1; i <= 120; ++i) {
                QThread::msleep(10);
                if (reports)
                    p.step(i, 120);
            }
            return 7;
        });
        QCOMPARE(result, 7);
        QCOMPARE(maximum, reports ? 100 : 0);
        if (reports)
            QVERIFY2(value > 0 && value < 100, qPrintable(QString::number(value)));
        QVERIFY(!windowEnabled);
        QVERIFY(window.isEnabled());
        QVERIFY(!shownProgress());
    }

    void shortWorkShowsNoWindow()
    {
        QWidget window;
        bool seen = false;
        QTimer::singleShot(30, [&] { seen = shownProgress() != nullptr; });
        QCOMPARE(runInBackground(&window, QStringLiteral("Working..."), [] {
                     QThread::msleep(60);
                     return 1;
                 }),
                 1);
        QVERIFY(!seen);
    }

    // Only the busy window waits: typing reaches every other window, and
    // a dialog closes, as the start window does while the catalogue loads.
    void onlyTheBusyWindowWaits()
    {
        QWidget busyWindow, otherWindow;
        auto *busyField = new QLineEdit(&busyWindow);
        auto *otherField = new QLineEdit(&otherWindow);
        busyWindow.show();
        otherWindow.show();
        BusyState busy(&busyWindow, QStringLiteral("Working..."), std::make_shared<BackgroundProgress>());
        QTest::keyClicks(busyField, QStringLiteral("x"));
        QTest::keyClicks(otherField, QStringLiteral("x"));
        QCOMPARE(busyField->text(), QString());
        QCOMPARE(otherField->text(), QStringLiteral("x"));

        QDialog dialog;
        QTimer::singleShot(0, &dialog, &QDialog::accept);
        QTimer::singleShot(3000, &dialog, &QDialog::hide); // ends a dropped close
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));

        // The window system's request to close the busy window waits (a
        // close sent to its native window reaches it as the user's).
        QCloseEvent request;
        QCoreApplication::sendEvent(busyWindow.windowHandle(), &request);
        QVERIFY(!request.isAccepted());
        QVERIFY(busyWindow.isVisible());
    }
};

ONDRO_TEST_MAIN(BackgroundWorkTest)
#include "test_backgroundwork_gui.moc"
