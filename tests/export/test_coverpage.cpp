#include "export/coverpage.h"
#include "testenv.h"
#include "testfiles.h"
#include "trackrows.h"

#include <QTemporaryDir>

namespace {
CatalogueEntry withCover(const QString &cover, EntryOrigin origin = EntryOrigin::Own)
{
    return entryOf({QStringLiteral("/cd/x.mp3"), {}, {}, {}, {}, {}, {}, cover}, origin);
}
const QByteArray First =
    "<HTML><HEAD><META CHARSET=\"UTF-8\"><TITLE>Ondro Cover Export</TITLE></HEAD><BODY BGCOLOR=WHITE>\r\n";
const QByteArray Last = "</BODY></HTML>\r\n";
} // namespace

class CoverPageTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void page_data()
    {
        QTest::addColumn<QList<CatalogueEntry>>("entries");
        QTest::addColumn<QByteArray>("images");
        QTest::newRow("no covers") << QList<CatalogueEntry>{withCover({}), withCover(QStringLiteral("   "))}
                                   << QByteArray();
        QTest::newRow("shared cover, library tracks too")
            << QList<CatalogueEntry>{withCover(QStringLiteral("/c/a.jpg")), withCover(QStringLiteral("/c/a.jpg")),
                                     withCover(QStringLiteral("/c/b.jpg"), EntryOrigin::Library)}
            << QByteArray("<img src=\"file:///c/a.jpg\" width=170 height=170>\r\n"
                          "<img src=\"file:///c/b.jpg\" width=170 height=170>\r\n");
        QTest::newRow("case and blank variants: spelled as first seen")
            << QList<CatalogueEntry>{withCover(QStringLiteral("/c/Caf\u00e9.jpg ")),
                                     withCover(QStringLiteral("/C/CAF\u00c9.JPG")),
                                     withCover(QStringLiteral(" /c/caf\u00e9.jpg"))}
            << QByteArray("<img src=\"file:///c/Caf%C3%A9.jpg%20\" width=170 height=170>\r\n");
        QTest::newRow("markup in a path")
            << QList<CatalogueEntry>{withCover(QStringLiteral("/c/\"a\" & <b>'s.jpg"))}
            << QByteArray("<img src=\"file:///c/%22a%22%20&amp;%20%3Cb%3E's.jpg\" width=170 height=170>\r\n");
        // What a browser reads as a fragment, an escape or a drive.
        QTest::newRow("# and % in a folder, a DOS path")
            << QList<CatalogueEntry>{withCover(QStringLiteral("/Art #1 (100%)/front.jpg")),
                                     withCover(QStringLiteral("D:\\Covers\\a.jpg"))}
            << QByteArray("<img src=\"file:///Art%20%231%20(100%25)/front.jpg\" width=170 height=170>\r\n"
                          "<img src=\"file:///D:/Covers/a.jpg\" width=170 height=170>\r\n");
    }
    void page()
    {
        QFETCH(QList<CatalogueEntry>, entries);
        QFETCH(QByteArray, images);
        QCOMPARE(CoverPage::page(rowsOf(entries)), First + images + Last);
        QCOMPARE(CoverPage::hasCover(rowsOf(entries)), !images.isEmpty());
    }

    void saveReplacesAndReportsFailure()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(CoverPage::fileName());
        QVERIFY(path.endsWith(QStringLiteral("/zembra.html")));
        QVERIFY(writeBytes(path, "old page"));
        QVERIFY(CoverPage::save(path, RowStore()).ok);
        QCOMPARE(fileBytes(path), First + Last);

        QVERIFY(writeBytes(dir.filePath(QStringLiteral("plain")), "x"));
        const SaveResult failed = CoverPage::save(dir.filePath(QStringLiteral("plain/zembra.html")), RowStore());
        QVERIFY(!failed.ok);
        QVERIFY(!failed.error.isEmpty());
    }
};

ONDRO_TEST_MAIN(CoverPageTest)
#include "test_coverpage.moc"
