#include "base/widgets/qtprompter.h"
#include "testenv.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

// A question whose answers the feature names: the box shows the captions
// in order and then Cancel, and gives back the index of the one chosen.
class PrompterTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void choiceGivesTheIndexChosen_data()
    {
        QTest::addColumn<QString>("act"); // a caption clicked, or a key pressed
        QTest::addColumn<int>("expected");
        QTest::newRow("first caption") << QStringLiteral("&Rescan") << 0;
        QTest::newRow("last caption") << QStringLiteral("&Mark Bin") << 2;
        QTest::newRow("Enter: the default") << QStringLiteral("Enter") << 1;
        QTest::newRow("Cancel") << QStringLiteral("Cancel") << int(Prompter::Cancelled);
        QTest::newRow("Escape") << QStringLiteral("Escape") << int(Prompter::Cancelled);
    }
    void choiceGivesTheIndexChosen()
    {
        QFETCH(QString, act);
        QFETCH(int, expected);
        const QStringList captions{QStringLiteral("&Rescan"), QStringLiteral("&Add"), QStringLiteral("&Mark Bin")};
        QStringList shown;
        QString title;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            QPushButton *cancel = nullptr;
            for (QAbstractButton *button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::AcceptRole)
                    shown << button->text();
                else
                    cancel = qobject_cast<QPushButton *>(button);
            }
            QVERIFY(cancel && box->escapeButton() == cancel);
            if (act == QLatin1String("Enter"))
                QTest::keyClick(box, Qt::Key_Return);
            else if (act == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else if (act == QLatin1String("Cancel"))
                cancel->click();
            else
                for (QAbstractButton *button : box->buttons())
                    if (button->text() == act)
                        button->click();
        });
        QtPrompter qt;
        Prompter &prompter = qt;
        QCOMPARE(prompter.choose({QStringLiteral("Which?"), captions, 1}), expected);
        QCOMPARE(shown, captions);
        QCOMPARE(title, Prompter::applicationTitle());
    }
};

ONDRO_TEST_MAIN(PrompterTest)
#include "test_prompter_gui.moc"
