#include "cli/clicommands.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    // The bytes as given, before anything may rearrange them.
    QList<QByteArray> raw;
    for (int i = 0; i < argc; ++i)
        raw << QByteArray(argv[i]);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ondro-cli"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(ONDRO_VERSION_MAJOR).arg(ONDRO_VERSION_MINOR));
    return runCli(QCoreApplication::arguments(), raw);
}
