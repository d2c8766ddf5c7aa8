#include "export/libraryfile.h"
#include "catalogue/cataloguelistfile.h"
#include "clirun.h"
#include "listfilecorpus.h"
#include "testenv.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

// Pieces of values that the tab-separated output escapes or must pass
// through as they are.
const char *const Pieces[] = {"plain", "a\tb", "\t", "back\\slash", "\\t", "\\\\", "Caf\xc3\xa9",
                              "\xe6\x97\xa5\xe6\x9c\xac", "Mot\xc3\xb6rhead", " ", "", "x", "\xf0\x9f\x8e\xb5",
                              "{\"json\": [1]}", "</html>", "\x01\x1f"};
// Line breaks, which only a library can carry.
const char *const Breaks[] = {"a\r\nb", "\r", "\n", "\r\n", "\n\r", "end\r", "\r\r\n"};

QString value(QRandomGenerator &rng, bool withBreaks)
{
    QByteArray text;
    for (int n = int(rng.bounded(0, 5)); n > 0; --n)
        text += withBreaks && rng.bounded(4) == 0 ? Breaks[rng.bounded(int(std::size(Breaks)))]
                                                 : Pieces[rng.bounded(int(std::size(Pieces)))];
    return QString::fromUtf8(text);
}

RowStore catalogue(bool withBreaks)
{
    QRandomGenerator rng(12);
    RowStore rows;
    for (int i = 0; i < 400; ++i) {
        TrackRecord r;
        for (int f = 0; f < TrackFieldCount; ++f)
            r.field(f) = value(rng, withBreaks);
        r.filename = QStringLiteral("/media/cd/%1/").arg(i) + r.filename;
        rows.append(r, EntryOrigin::Own);
    }
    return rows;
}

QByteArray digest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(32);
}

} // namespace

// The output of list, find and library show, byte for byte as the
// program printed it before its output was made faster (digests recorded
// from that program on these catalogues, with control bytes since escaped
// as \xHH).
class ListOutputTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void outputIsByteIdentical_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("list") << QStringList{QStringLiteral("list")} << 0 << QByteArray("677324cec52231d249bce66896b50fc4");
        QTest::newRow("list --json") << QStringList{QStringLiteral("list"), QStringLiteral("--json")} << 0
                                     << QByteArray("651c6711485ed4515b222305073ce252");
        QTest::newRow("find") << QStringList{QStringLiteral("find"), QStringLiteral("caf")} << 0 << QByteArray("ebf7dced2d506f72af26a394da17659d");
        QTest::newRow("find --json") << QStringList{QStringLiteral("find"), QStringLiteral("\\t"),
                                                    QStringLiteral("--json")}
                                     << 0 << QByteArray("4d490558562ba46b2f13ea2aead093a6");
        QTest::newRow("find, no match") << QStringList{QStringLiteral("find"), QStringLiteral("no such text")} << 1
                                        << QByteArray("e3b0c44298fc1c149afbf4c8996fb924");
        QTest::newRow("library show") << QStringList{QStringLiteral("library"), QStringLiteral("show"),
                                                     QStringLiteral("LIBRARY")}
                                      << 0 << QByteArray("5aeb72d17d7b105d662df384b6d55f4f");
        QTest::newRow("library show --json")
            << QStringList{QStringLiteral("library"), QStringLiteral("show"), QStringLiteral("LIBRARY"),
                           QStringLiteral("--json")}
            << 0 << QByteArray("e8da0b329e8bc26364cf8dc3aabed726");
    }

    void outputIsByteIdentical()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        QVERIFY(CatalogueListFile::save(dir.filePath(QStringLiteral("zembra.lst")), catalogue(false)));
        const QString library = dir.filePath(QStringLiteral("breaks.odl"));
        QVERIFY(LibraryFile::write(library, catalogue(true), LibraryFile::Content::Library));
        arguments.replaceInStrings(QStringLiteral("LIBRARY"), library);
        const CliRun run = runOndroCli(QStringLiteral(ONDRO_CLI_PATH),
                                       QStringList{QStringLiteral("--data-dir"), dir.path()} + arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(digest(run.out), expected);
    }

    // A byte to escape at every place of values of every length up to
    // past two blocks of the fast copy, in every field: escaped where it
    // is, and every other byte as it is.
    void escapedByteAtEveryPlace_data()
    {
        QTest::addColumn<char>("odd");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("backslash") << '\\' << QByteArray("\\\\");
        QTest::newRow("tab") << '\t' << QByteArray("\\t");
        // Terminal controls: ESC starts a sequence, BEL ends a title one.
        QTest::newRow("NUL") << '\0' << QByteArray("\\x00");
        QTest::newRow("BEL") << '\a' << QByteArray("\\x07");
        QTest::newRow("ESC") << '\x1b' << QByteArray("\\x1b");
        QTest::newRow("unit separator") << '\x1f' << QByteArray("\\x1f");
        QTest::newRow("DEL") << '\x7f' << QByteArray("\\x7f");
    }
    void escapedByteAtEveryPlace()
    {
        QFETCH(char, odd);
        QFETCH(QByteArray, shown);
        QByteArray file, expected;
        for (int length = 0; length <= 40; ++length) {
            for (int at = -1; at < length; ++at) {
                QByteArray value(length, 'x');
                QByteArray printed = value;
                if (at >= 0) {
                    value[at] = odd;
                    printed = value.left(at) + shown + value.mid(at + 1);
                }
                for (int f = 0; f < TrackFieldCount; ++f) {
                    file += value + "\r\n";
                    expected += printed + (f + 1 < TrackFieldCount ? "\t" : "\n");
                }
                file += "\r\n\r\n";
            }
        }
        QTemporaryDir dir;
        QFile out(dir.filePath(QStringLiteral("zembra.lst")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(file), file.size());
        out.close();
        const CliRun run =
            runOndroCli(QStringLiteral(ONDRO_CLI_PATH), {QStringLiteral("--data-dir"), dir.path(), QStringLiteral("list")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, expected);
    }

    // List files as other writers leave them: Windows-1252 records among
    // UTF-8 ones, every kind of line end, values longer than a read block,
    // and a file that ends inside a record (whose warning names the whole
    // entries printed).
    void listOfAnyFileIsByteIdentical_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray damaged = ListFileCorpus::bytes(500) + "\r\n\r\n\r\n/cut.mp3\r\nCD1\r\nArtist";
        QTest::newRow("corpus") << ListFileCorpus::bytes() << false << QByteArray("b0c1bfe8348c121ba5603b5e99db0931");
        QTest::newRow("corpus --json") << ListFileCorpus::bytes() << true << QByteArray("1e3227515b663c4aff5bdd29653c4164");
        QTest::newRow("damaged") << damaged << false << QByteArray("c77c078e73a568a20b791063abed94ea");
        QTest::newRow("damaged --json") << damaged << true << QByteArray("cf1a364098782f775f51060a88adadf0");
    }

    void listOfAnyFileIsByteIdentical()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, json);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zembra.lst"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(file), file.size());
        out.close();
        QStringList arguments{QStringLiteral("--data-dir"), dir.path(), QStringLiteral("list")};
        if (json)
            arguments << QStringLiteral("--json");
        const CliRun run = runOndroCli(QStringLiteral(ONDRO_CLI_PATH), arguments);
        QCOMPARE(run.status, 0);
        QCOMPARE(digest(run.out), expected);
        const QString problem = CatalogueListFile::readProblemMessage(path, CatalogueListFile::read(path));
        QCOMPARE(run.err, problem.isEmpty() ? QByteArray() : QStringLiteral("ondro-cli: %1\n").arg(problem).toUtf8());
    }
};

ONDRO_TEST_MAIN(ListOutputTest)
#include "test_listoutput.moc"
