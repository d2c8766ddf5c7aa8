#include "app/startup.h"
#include "app/widgets/mainwindow.h"
#include "store/widgets/qtprompter.h"
#include "app/widgets/startwindow.h"
#include "store/widgets/desktopplatform.h"

#include <QApplication>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ondro"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ondro"));
    QApplication::setApplicationVersion(QStringLiteral("2.6"));

    QtPrompter prompter;
    DesktopPlatform platform;

    SingleInstance instance;
    if (!instance.acquire()) {
        static_cast<Prompter &>(prompter).message(QStringLiteral("Ondro is already running."),
                                                  Prompter::Icon::Information);
        return 0;
    }

    // The one optional argument is used whole, blanks and all.
    const QStringList arguments = QApplication::arguments();
    const QString argument = arguments.size() > 1 ? arguments.mid(1).join(QLatin1Char(' ')) : QString();

    std::unique_ptr<Form2> mainWindow;
    splash start([&] {
        mainWindow = std::make_unique<Form2>(prompter, platform, argument);
        prompter.setParentWidget(mainWindow.get());
        mainWindow->show();
        mainWindow->activateWindow();
    });
    if (start.exec() != QDialog::Accepted)
        return 0;
    return app.exec();
}
