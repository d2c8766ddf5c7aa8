// A process killed (SIGKILL) at many moments of a save leaves the old file
// or the new one, whole, and nothing that keeps a later save from working.
// The saving process is this executable itself, started in a child mode.
#include "catalogrows.h"
#include "catalogue/cataloguelistfile.h"
#include "base/settingsfile.h"
#include "testenv.h"
#include "testfiles.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

constexpr qsizetype Entries = 100000;
constexpr int Moments = 50;
constexpr int ProgressMarks = 40; // child marks during the rows of a list save
const char ModeVariable[] = "ONDRO_KILLSAVE_CHILD";
const char DirVariable[] = "ONDRO_KILLSAVE_DIR";

QString listPath(const QString &dir)
{
    return dir + QStringLiteral("/zembra.lst");
}

QString settingsPath(const QString &dir)
{
    return dir + QStringLiteral("/ondro2k.ini");
}

// generation 1 is the catalogue on disk, 2 the one being saved over it:
// their bytes differ from the first records on.
RowStore catalogue(int generation)
{
    return CatalogRows::generated(Entries, generation == 1 ? 0 : 7);
}

QByteArray listBytes(const RowStore &rows)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CatalogueListFile::write(buffer, rows);
    return bytes;
}

Settings settingsOf(int generation)
{
    Settings s = Settings::defaults();
    s.coverPath = QStringLiteral("/covers/%1").arg(generation);
    s.widths[0] = float(1000 * generation);
    return s;
}

void mark(char c)
{
    (void)!::write(STDOUT_FILENO, &c, 1);
}

// The child: saves the second catalogue (marking its progress on standard
// output), or saves the two settings in turn until it is killed.
int runChild(const QByteArray &mode, const QString &dir)
{
    if (mode == "list") {
        const RowStore rows = catalogue(2);
        mark('s');
        WorkProgress progress;
        progress.onStep = [](qint64 i, qint64 n) {
            if (i % (n / ProgressMarks) == 0)
                mark('p');
        };
        const SaveResult saved = CatalogueListFile::save(listPath(dir), rows, &progress);
        mark('w');
        return saved ? 0 : 3;
    }
    for (int i = 0; i < 100000; ++i) {
        if (!SettingsFile::save(settingsPath(dir), settingsOf(1 + i % 2)))
            return 3;
        if (i == 0)
            mark('r');
    }
    return 0;
}

QProcess *startChild(const char *mode, const QString &dir, QObject *parent)
{
    auto *process = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ModeVariable), QString::fromLatin1(mode));
    env.insert(QString::fromLatin1(DirVariable), dir);
    process->setProcessEnvironment(env);
    process->setProgram(QCoreApplication::applicationFilePath());
    process->start();
    return process;
}

// Reads the child's marks until count of them arrived; false when it
// ended or stalled first.
bool waitForMarks(QProcess &process, QByteArray &marks, qsizetype count)
{
    while (marks.size() < count) {
        if (!process.waitForReadyRead(30000))
            return false;
        marks += process.readAllStandardOutput();
    }
    return true;
}

} // namespace

class KillSaveTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listFileIsOldOrNewWhole()
    {
        QTemporaryDir dir;
        const QByteArray oldBytes = listBytes(catalogue(1));
        const QByteArray newBytes = listBytes(catalogue(2));
        const QString path = listPath(dir.path());

        // How long the save goes on after its last row, to spread the
        // last kills over the final write, the sync and the rename.
        QVERIFY(writeBytes(path, oldBytes));
        QProcess *calibration = startChild("list", dir.path(), this);
        QByteArray marks;
        QVERIFY(waitForMarks(*calibration, marks, 1 + ProgressMarks));
        QElapsedTimer tail;
        tail.start();
        QVERIFY(waitForMarks(*calibration, marks, 2 + ProgressMarks));
        const qint64 tailMicros = std::max<qint64>(tail.nsecsElapsed() / 1000, 1000);
        QVERIFY(calibration->waitForFinished(30000));
        QCOMPARE(calibration->exitCode(), 0);
        QCOMPARE(fileBytes(path), newBytes);

        int oldSeen = 0, newSeen = 0;
        QStringList leftovers;
        for (int moment = 0; moment < Moments; ++moment) {
            QVERIFY(writeBytes(path, oldBytes));
            QProcess *child = startChild("list", dir.path(), this);
            QByteArray got;
            // Moment 0 is the start of the save, 1 to 40 follow its rows,
            // the next ones fall after its last row, and the last one after
            // the save returned.
            const bool last = moment == Moments - 1;
            QVERIFY2(waitForMarks(*child, got, 1 + std::min(moment, ProgressMarks) + (last ? 1 : 0)),
                     qPrintable(QString::number(moment)));
            if (moment > ProgressMarks && !last)
                ::usleep(useconds_t(tailMicros * (moment - ProgressMarks) / (Moments - 1 - ProgressMarks)));
            child->kill();
            QVERIFY(child->waitForFinished(30000));
            delete child;

            const QByteArray now = fileBytes(path);
            QVERIFY2(now == oldBytes || now == newBytes,
                     qPrintable(QStringLiteral("moment %1: the list file is neither the old one nor the new one (%2 bytes)")
                                    .arg(moment)
                                    .arg(now.size())));
            (now == oldBytes ? oldSeen : newSeen)++;
            for (const QString &name : othersIn(dir.path(), {QStringLiteral("zembra.lst")})) {
                QVERIFY2(name.startsWith(QLatin1String(".zembra.lst.")) && name.endsWith(QLatin1String(".tmp")),
                         qPrintable(name));
                if (!leftovers.contains(name))
                    leftovers << name;
            }
        }
        // The moments reach both sides of the rename.
        QVERIFY2(oldSeen > 0 && newSeen > 0, qPrintable(QStringLiteral("old %1, new %2").arg(oldSeen).arg(newSeen)));
        qInfo("%d kills left the old file, %d the new one; %lld temporary files of killed saves stay behind",
              oldSeen, newSeen, qlonglong(leftovers.size()));

        // A later save succeeds beside whatever the killed ones left, and
        // leaves nothing of its own.
        QVERIFY(writeBytes(path, oldBytes));
        QProcess *later = startChild("list", dir.path(), this);
        QVERIFY(later->waitForFinished(60000));
        QCOMPARE(later->exitCode(), 0);
        QCOMPARE(fileBytes(path), newBytes);
        QStringList after = othersIn(dir.path(), {QStringLiteral("zembra.lst")});
        for (const QString &name : std::as_const(leftovers))
            after.removeAll(name);
        QVERIFY2(after.isEmpty(), qPrintable(after.join(u' ')));
        const CatalogueListFile::ReadResult read = CatalogueListFile::read(path);
        QCOMPARE(read.state, CatalogueListFile::ReadState::Whole);
        QCOMPARE(read.rows.size(), Entries);
    }

    void settingsFileIsOneOrTheOtherWhole()
    {
        QTemporaryDir dir;
        const QString path = settingsPath(dir.path());
        const QByteArray one = SettingsFile::serialize(settingsOf(1));
        const QByteArray two = SettingsFile::serialize(settingsOf(2));
        for (int moment = 0; moment < Moments; ++moment) {
            QProcess *child = startChild("settings", dir.path(), this);
            QByteArray got;
            QVERIFY(waitForMarks(*child, got, 1));
            ::usleep(useconds_t(moment * 400));
            child->kill();
            QVERIFY(child->waitForFinished(30000));
            QCOMPARE(child->exitStatus(), QProcess::CrashExit);
            delete child;

            const QByteArray now = fileBytes(path);
            QVERIFY2(now == one || now == two, qPrintable(QStringLiteral("moment %1: %2").arg(moment).arg(QString::fromUtf8(now))));
            Settings loaded = Settings::defaults();
            QVERIFY(SettingsFile::load(path, loaded));
            for (const QString &name : othersIn(dir.path(), {QStringLiteral("ondro2k.ini")}))
                QVERIFY2(name.startsWith(QLatin1String(".ondro2k.ini.")) && name.endsWith(QLatin1String(".tmp")),
                         qPrintable(name));
        }
    }
};

int main(int argc, char **argv)
{
    const QByteArray mode = qgetenv(ModeVariable);
    if (!mode.isEmpty())
        return runChild(mode, qEnvironmentVariable(DirVariable));
    TestEnv::isolate();
    QCoreApplication app(argc, argv);
    KillSaveTest tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "test_killsave.moc"
