#include "clirun.h"
#include "verifymedium.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/extensionline.h"
#include "media/mediaregister.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// Each entry's problem mark, in catalogue order.
QByteArrayList marks(const QString &data)
{
    const CatalogueListFile::ReadResult read = CatalogueListFile::read(data + QStringLiteral("/zembra.lst"));
    QByteArrayList values;
    for (qsizetype row = 0; row < read.rows.size(); ++row)
        values << ExtensionLine::textValue(read.rows.extensionUtf8(row), ExtensionLine::ProblemKey);
    return values;
}

} // namespace

class TestVerifyCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The spoilt medium: its problems, one line each, the summary, exit
    // status 1, the marks and the register's note saved; restored: all ok,
    // exit status 0, the marks gone. A medium that cannot be verified is 3.
    // The read error is made at its byte by the library preloaded into the
    // program, which stops root as anyone.
    void spoiltThenRestored()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const VerifyMedium medium(dir.filePath(QStringLiteral("cd")));
        QCOMPARE(runOndroCli(ONDRO_CLI_PATH, {"--data-dir", data, "scan", medium.root, "--source", "CD02"}).status, 0);
        medium.spoil();

        const QStringList verify{"--data-dir", data, "verify", "--source", "CD02"};
        const CliRun spoilt = [&] {
            const VerifyMedium::ReadFaultInjected fault(medium);
            return runOndroCli(ONDRO_CLI_PATH, verify);
        }();
        QCOMPARE(spoilt.status, 1);
        const QString root = medium.root;
        QCOMPARE(QString::fromUtf8(spoilt.out),
                 QStringLiteral("missing\t%1/gone.mp3\tnot found\n"
                                "damaged\t%1/middle.mp3\tframe sync lost at byte 42117\n"
                                "changed\t%1/short.mp3\tsize 60000 bytes, catalogued 83528; the audio differs from "
                                "the catalogued; the last frame, at byte 59631, is cut short\n"
                                "unreadable\t%1/unread.mp3\tInput/output error at byte 20480\n"
                                "CD02: 5 files, 1 ok, 1 unreadable, 1 changed, 1 damaged, 1 missing\n")
                     .arg(root));
        QCOMPARE(marks(data), (QByteArrayList{"missing", "damaged", "changed", "unreadable", ""}));
        MediaRegister media;
        media.read(MediaRegister::fileIn(data));
        QVERIFY(media.find(QStringLiteral("CD02")) && media.find(QStringLiteral("CD02"))->verified.damaged == 1);

        medium.restore();
        const CliRun restored = runOndroCli(ONDRO_CLI_PATH, verify + QStringList{"--json"});
        QCOMPARE(restored.status, 0);
        QVERIFY2(restored.out.contains("\"ok\": 5") && restored.out.contains("\"problems\": [\n    ]"),
                 restored.out.constData());
        QCOMPARE(marks(data), (QByteArrayList{"", "", "", "", ""}));

        for (const char *id : {"CD09", ""}) {
            const CliRun refused = runOndroCli(ONDRO_CLI_PATH, {"--data-dir", data, "verify", "--source", id});
            QCOMPARE(refused.status, *id ? 3 : 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestVerifyCli)
#include "test_verifycli.moc"
