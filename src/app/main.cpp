#include "app/startup.h"
#include "base/atomicsave.h"
#include "base/platform/singleinstance.h"
#include "base/platform/systempaths.h"
#include "app/widgets/desktopwindows.h"
#include "app/widgets/mainwindow.h"
#include "base/widgets/qtprompter.h"
#include "app/widgets/startwindow.h"
#include "base/widgets/desktopplatform.h"

#include <QApplication>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    DesktopWindows::setUpApplication(); // message boxes are titled "Ondro" by the prompter

    QtPrompter prompter;
    DesktopPlatform platform;

    SingleInstance instance;
    if (!instance.acquire()) {
        if (instance.failed()) {
            static_cast<Prompter &>(prompter).message(
                QStringLiteral("Ondro cannot start: its lock %1 cannot be taken (%2).")
                    .arg(instance.lockPath(), instance.reason()),
                Prompter::Icon::Critical);
            return 1;
        }
        // ondro-cli holds the same lock while it changes the catalogue.
        QString holder;
        qint64 pid = 0;
        const bool shell = instance.holder(&holder, &pid) && holder == QLatin1String("ondro-cli");
        static_cast<Prompter &>(prompter).message(
            shell ? QStringLiteral("ondro-cli (process %1) is changing the catalogue. Start Ondro again when it "
                                   "has finished.")
                        .arg(pid)
                  : QStringLiteral("Ondro is already running."),
            Prompter::Icon::Information);
        return 0;
    }
    if (!instance.takenOver().isEmpty())
        qWarning("ondro: took over the stale lock %s: %s", qUtf8Printable(instance.lockPath()),
                 qUtf8Printable(instance.takenOver()));
    removeAbandonedSaves(SystemPaths::windowsDirectory());

    // The one optional argument is used whole, blanks and all.
    const QStringList arguments = QApplication::arguments();
    const QString argument = arguments.size() > 1 ? arguments.mid(1).join(QLatin1Char(' ')) : QString();

    std::unique_ptr<Form2> mainWindow;
    splash start([&] {
        mainWindow = std::make_unique<Form2>(prompter, platform, argument);
        prompter.setParentWidget(mainWindow.get());
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    });
    if (start.exec() != QDialog::Accepted)
        return 0;
    // The start window is gone: the main window takes the keys.
    mainWindow->activateWindow();
    return app.exec();
}
