#include "store/cataloguemodel.h"
#include "store/rowstore.h"
#include "testenv.h"

namespace {
TrackRecord recordNamed(const QString &name)
{
    return {name, QStringLiteral("CD02"), QStringLiteral("Artist"), QStringLiteral("Title"), QStringLiteral("Album"),
            QStringLiteral("1999"), QStringLiteral("Rock"), QString(), QStringLiteral("11111111 ")};
}
} // namespace

class RowStoreTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void smallAppendsShareTheOpenChunk()
    {
        // One-row appends, as the model makes them for each new entry.
        CatalogueModel model(CatalogueModel::catalogueHeaders());
        for (int i = 0; i < 1000; ++i)
            model.append(recordNamed(QStringLiteral("/cd/%1.mp3").arg(i)), EntryOrigin::Own);
        QCOMPARE(model.rows().size(), 1000);
        QCOMPARE(model.rows().field(999, FieldFilename), QStringLiteral("/cd/999.mp3"));
        QVERIFY2(model.rows().bytesHeld() < 512 * 1024, QByteArray::number(qulonglong(model.rows().bytesHeld())));

        RowStore one;
        one.append(recordNamed(QStringLiteral("/a.mp3")), EntryOrigin::Library);
        QVERIFY(one.bytesHeld() < 16 * 1024);
    }

    void largeBatchesAreAdoptedWithoutCopying()
    {
        RowStore rows;
        rows.append(recordNamed(QStringLiteral("/first.mp3")), EntryOrigin::Own);
        RowStore batch;
        for (int i = 0; i < 20000; ++i)
            batch.append(recordNamed(QStringLiteral("/batch/%1.mp3").arg(i)), EntryOrigin::Own);
        const char *where = batch.fieldUtf8(123, FieldFilename).data();
        rows.appendAll(std::move(batch));
        QCOMPARE(rows.size(), 20001);
        QVERIFY(batch.isEmpty());
        QCOMPARE(static_cast<const void *>(rows.fieldUtf8(124, FieldFilename).data()), static_cast<const void *>(where));
        QCOMPARE(rows.field(124, FieldFilename), QStringLiteral("/batch/123.mp3"));
        QCOMPARE(rows.field(0, FieldFilename), QStringLiteral("/first.mp3"));
    }
};

ONDRO_TEST_MAIN(RowStoreTest)
#include "test_rowstore.moc"
