#include "killedruns.h"

#include "catalogue/cataloguelistfile.h"
#include "media/mediaregister.h"
#include "testfiles.h"

#include <QElapsedTimer>
#include <QProcess>

#include <unistd.h>

CliRun KilledRuns::timeWhole()
{
    CliRun whole;
    for (int run = 0; run < 3; ++run) {
        if (!reset())
            return {};
        QElapsedTimer timer;
        timer.start();
        whole = runOndroCli(program, arguments);
        runMicros = std::max(runMicros, timer.nsecsElapsed() / 1000);
    }
    return whole;
}

int KilledRuns::runUntil(int moment, int moments) const
{
    if (!reset())
        return -2;
    QProcess child;
    child.start(program, arguments);
    if (!child.waitForStarted())
        return -2;
    if (moment < moments - 1) {
        ::usleep(useconds_t(runMicros * (20 + (lastPercent - 20) * moment / (moments - 1)) / 100));
        child.kill();
    }
    if (!child.waitForFinished(60000))
        return -2;
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

QStringList registeredSources(const QString &dataFolder)
{
    const CatalogueListFile::ReadResult list = CatalogueListFile::read(dataFolder + QStringLiteral("/zembra.lst"));
    MediaRegister media;
    const MediaRegister::ReadResult read = media.read(MediaRegister::fileIn(dataFolder));
    if (list.state != CatalogueListFile::ReadState::Whole || read.state != MediaRegister::State::Read)
        return {QStringLiteral("not whole")};
    QStringList sources;
    for (const MediaRecord &record : media.records())
        sources << record.source;
    for (const QByteArray &source : ownSources(list.rows)) {
        if (!media.find(QString::fromUtf8(source)))
            return {QStringLiteral("no medium for ") + QString::fromUtf8(source)};
    }
    return sources;
}

QStringList leftBesideSaves(const QString &dataFolder)
{
    QStringList left;
    // ondro.lock.rmlock: Qt's lock on removing a stale lock, left when a
    // run is killed while it takes over the lock of a run killed before.
    for (const QString &name : othersIn(dataFolder, {"zembra.lst", "media.json", "ondro.lock", "ondro.lock.rmlock"})) {
        if (!(name.startsWith(QLatin1String(".zembra.lst.")) || name.startsWith(QLatin1String(".media.json.")))
            || !name.endsWith(QLatin1String(".tmp")))
            left << name;
    }
    return left;
}
