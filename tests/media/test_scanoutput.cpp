#include "media/mediascan.h"
#include "catalogue/cataloguelistfile.h"
#include "id3bytes.h"
#include "testenv.h"
#include "testfiles.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>

// The catalogue a scan gives must not change when the scan is made faster:
// a varied tree is scanned and its list file compared with the digest of
// the bytes the scan gave before its readers were reworked. Pinned again,
// each change row by row against other readers, when genres written as
// text kept their spelling, an ID3v1 genre byte naming no genre came to
// take the ID3v2 genre, a frame cut off by the tag's end came to end the
// walk, and TRCK came onto the extension line as trk.
class ScanOutputTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listFileUnchanged()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        const QByteArray frame = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\x33');
        const char *const folders[] = {"", "Disc 1/", "disc 1/Zürich/", "Disc 2/b/", "Disc 2/B/", "Ä/"};
        for (quint32 i = 0; i < 600; ++i) {
            QByteArray content;
            if (i % 7 != 3)
                content += variedId3v2Tag(i);
            content += i % 11 == 5 ? QByteArray("no audio frame here") : frame;
            if (i % 3 == 0) {
                const QByteArray title = i % 2 ? QByteArray("Titel \xE4\xF6\xFC\x80", 11) : QByteArray("Title ") + QByteArray::number(i);
                content += "TAG" + title.leftJustified(30, '\0') + QByteArray("\x01Artist \x9D").leftJustified(30, ' ')
                           + QByteArray("Album").leftJustified(30, '\0') + "19 9" + QByteArray(30, '\0')
                           + char(i % 150);
            }
            const QString name = QStringLiteral("%1%2 - Tr\u00E4ck %3.%4")
                                     .arg(QString::fromUtf8(folders[i % 6]))
                                     .arg(i % 13, 2, 10, QLatin1Char('0'))
                                     .arg(i)
                                     .arg(i % 4 == 0 ? QStringLiteral("MP3") : QStringLiteral("mp3"));
            QVERIFY(writeBytes(root + u'/' + name, content));
            QFile file(root + u'/' + name);
            QVERIFY(file.open(QIODevice::ReadWrite)
                    && file.setFileTime(QDateTime::fromSecsSinceEpoch(915148800 + i), QFileDevice::FileModificationTime));
        }
        // One reader (optical media) and several give the same bytes.
        for (int readers : {1, 4}) {
            const ScanOutcome outcome = scanMedia(root, QStringLiteral(" CD 07 "), {}, nullptr, readers);
            QCOMPARE(outcome.rows.size(), 600);
            QBuffer buffer;
            QVERIFY(buffer.open(QIODevice::WriteOnly));
            QVERIFY(CatalogueListFile::write(buffer, outcome.rows));
            QByteArray bytes = buffer.data();
            bytes.replace(root.toUtf8(), "/MEDIA");
            // The nine fields, then the whole file with the facts.
            const QString withoutFacts = QString::fromUtf8(bytes).remove(QRegularExpression("ondro:1 [^\r]*"));
            QCOMPARE(QCryptographicHash::hash(withoutFacts.toUtf8(), QCryptographicHash::Sha256).toHex(),
                     QByteArray("d40f6999b71d0c314f8fc1c8610592966a905e2ff2172d5ac4d9a233add4a11a"));
            QCOMPARE(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
                     QByteArray("e388e3977fb790c86341e1f8f80d26ac68161101005a30f02849c52b373b075b"));
        }
    }
};

ONDRO_TEST_MAIN(ScanOutputTest)
#include "test_scanoutput.moc"
