#include "cli/clicommands.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondro-cli"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(ONDRO_VERSION_MAJOR).arg(ONDRO_VERSION_MINOR));
    return runCli(QCoreApplication::arguments());
}
