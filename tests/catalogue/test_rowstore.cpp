#include "catalogue/cataloguemodel.h"
#include "catalogue/rowstore.h"
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

    // An extension line over 16 MiB stays whole, and so does the origin
    // beside its length, whichever way the row is made or changed.
    void longExtensionLinesAreKept_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("origin");
        for (const char *way : {"append", "appendUtf8", "setExtension", "setField", "appendRow", "appendAll"}) {
            QTest::addRow("%s, own", way) << QString::fromLatin1(way) << int(EntryOrigin::Own);
            QTest::addRow("%s, library", way) << QString::fromLatin1(way) << int(EntryOrigin::Library);
        }
    }

    void longExtensionLinesAreKept()
    {
        QFETCH(QString, way);
        QFETCH(int, origin);
        const QByteArray line = "ondro:1 x=" + QByteArray(17 << 20, 'a');
        const TrackRecord record = recordNamed(QStringLiteral("/long.mp3"));
        const auto entryOrigin = EntryOrigin(origin);
        RowStore rows;
        if (way == QLatin1String("appendUtf8")) {
            std::array<QByteArray, TrackFieldCount> utf8;
            std::array<QByteArrayView, TrackFieldCount> fields;
            for (int i = 0; i < TrackFieldCount; ++i)
                fields[i] = utf8[i] = record.field(i).toUtf8();
            rows.appendUtf8(fields, entryOrigin, line);
        } else if (way == QLatin1String("setExtension") || way == QLatin1String("setField")) {
            rows.append(record, entryOrigin, way == QLatin1String("setField") ? QByteArrayView(line) : QByteArrayView());
            if (way == QLatin1String("setField"))
                rows.setField(0, FieldTrack, QStringLiteral("Title"));
            else
                rows.setExtension(0, line);
        } else {
            RowStore other;
            other.append(record, entryOrigin, line);
            if (way == QLatin1String("append"))
                rows = std::move(other);
            else if (way == QLatin1String("appendRow"))
                rows.appendRow(other, 0);
            else {
                rows.append(recordNamed(QStringLiteral("/first.mp3")), EntryOrigin::Own);
                rows.appendAll(std::move(other));
            }
        }
        const qsizetype row = rows.size() - 1;
        QCOMPARE(rows.extensionUtf8(row).size(), line.size());
        QVERIFY(rows.extensionUtf8(row) == line);
        QCOMPARE(rows.origin(row), entryOrigin);
        QCOMPARE(rows.record(row), record);
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
