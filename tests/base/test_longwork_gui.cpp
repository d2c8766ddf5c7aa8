#include "base/widgets/longwork.h"
#include "testenv.h"

#include <QCloseEvent>
#include <QDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
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

// Runs work as long work of window and waits, as the window's thread does,
// for its end; the work's result, or -1 when done never came.
template<typename Work>
int runAndWait(QWidget &window, const LongWork::Shown &shown, Work work)
{
    int result = -1;
    LongWork::start(&window, shown, std::move(work), [&result](int value) { result = value; });
    (void)QTest::qWaitFor([&] { return result != -1; }, 10000); // the caller checks the result
    return result;
}

} // namespace

class LongWorkTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Long work shows how far it got (or a busy bar when it cannot tell),
    // the window takes no input meanwhile, and all is gone at the end.
    // Where Stop is offered, pressing it ends the work early.
    void longWorkShowsProgress_data()
    {
        QTest::addColumn<bool>("reports");
        QTest::addColumn<bool>("stop");
        QTest::newRow("rows reported") << true << false;
        QTest::newRow("nothing reported") << false << false;
        QTest::newRow("stopped") << true << true;
    }

    void longWorkShowsProgress()
    {
        QFETCH(bool, reports);
        QFETCH(bool, stop);
        QWidget window;
        window.show();
        int maximum = -1, value = -1;
        bool windowEnabled = true;
        QTimer::singleShot(800, [&] {
            if (QProgressDialog *dialog = shownProgress()) {
                maximum = dialog->maximum();
                value = dialog->value();
                if (stop) // as a click on its Stop button
                    dialog->findChild<QPushButton *>()->click();
            }
            windowEnabled = window.isEnabled();
        });
        const LongWork::Shown shown{QStringLiteral("Working..."), stop ? StopOffer::Offered : StopOffer::None, {}};
        const int result = runAndWait(window, shown, [reports](WorkProgress &p) {
            int i = 1;
            for (; i <= 120 && !p.stopped(); ++i) {
                QThread::msleep(10);
                if (reports)
                    p.step(i, 120);
            }
            return i - 1;
        });
        if (stop)
            QVERIFY2(result > 0 && result < 120, qPrintable(QString::number(result)));
        else
            QCOMPARE(result, 120);
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
        QCOMPARE(runAndWait(window, {QStringLiteral("Working..."), StopOffer::None, {}}, [](WorkProgress &) {
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
        BusyState busy(&busyWindow, QStringLiteral("Working..."), std::make_shared<WorkProgress>());
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

ONDRO_TEST_MAIN(LongWorkTest)
#include "test_longwork_gui.moc"
