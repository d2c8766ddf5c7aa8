#include "app/startup.h"

#include "base/platform/systempaths.h"

StartupPlan planStartup(const QString &argument)
{
    StartupPlan plan;
    if (argument.isEmpty())
        return plan;
    plan.mode = StartupMode::Odl;
    if (argument.right(3).toUpper() != QLatin1String("ODL"))
        return plan;
    const QString path = argument.trimmed();
    if (SystemPaths::fileExists(path))
        plan.libraryPath = path;
    else
        plan.libraryMissing = true;
    return plan;
}

QString mainCaption(qsizetype entries)
{
    return QStringLiteral("Ondro 2000 - %1 files").arg(entries);
}

QString splashVersionText()
{
    return QStringLiteral("[2000] version %1.%2").arg(ONDRO_VERSION_MAJOR).arg(ONDRO_VERSION_MINOR);
}

QString aboutVersionText()
{
    return QStringLiteral("Ondro 2000 v%1.%2").arg(ONDRO_VERSION_MAJOR).arg(ONDRO_VERSION_MINOR);
}
