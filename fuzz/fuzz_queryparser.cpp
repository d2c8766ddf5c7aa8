// The query parser, on any bytes taken as UTF-8 text: it either parses or
// gives an error whose place lies within the text (1 to its length + 1).
// A parsed query runs over a small fixed catalogue (media with a label,
// a note and an online state, duplicates flags): the filter's rows are the
// rows matched one at a time, and NOT of the query matches the others.
#include "browse/querymatcher.h"
#include "browse/queryparser.h"
#include "fuzzcheck.h"

#include <algorithm>

namespace {

TrackRecord recordOf(const QStringList &fields)
{
    TrackRecord r;
    for (qsizetype f = 0; f < fields.size(); ++f)
        r.field(int(f)) = fields.at(f);
    return r;
}

const RowStore &catalogue()
{
    static const RowStore rows = [] {
        RowStore store;
        const QList<QPair<QStringList, QByteArray>> entries = {
            {{"/cd/Night Drive/01 Intro.mp3", "CD01", "The Band", "Intro", "Night Drive", "1991", "Rock", "/c/f.jpg"},
             "ondro:1 size=4000000 mtime=915148800 dur=215.3 kbps=128 mode=cbr rate=44100 enc=LAME3.100 aid=aa"},
            {{"/cd/Night Drive/02 Café.mp3", "CD01", "The Band", "Café Noir", "", "1991-10", "Jazz"},
             "ondro:1 size=9000000 dur=301.0 kbps=239 mode=vbr rate=48000 enc=a%20b aid=bb"},
            {{"/hd/Motörhead/Ace.mp3", "HD01", "Motörhead", "Ace of Spades", "Ace", " 1980 ", "Metal"},
             "ondro:1 dur=169 kbps=x aid=cc"},
            {{"/hd/copy/Ace.mp3", "CD02", "MOTORHEAD", "ace of spades", "", "", ""},
             "ondro:1 size=3000000 dur=170.5 kbps=128 aid=cc"},
            {{"/hd/日本/untagged.mp3", "HD01"}, "ondro:2 later"},
            {{"/x.mp3", ""}, ""},
        };
        for (const auto &[fields, facts] : entries)
            store.append(recordOf(fields), EntryOrigin::Own, facts);
        store.append(recordOf({"/lib/Blue.mp3", "LIB1", "Trane", "Blue Train", "Blue", "1957", "Jazz"}),
                     EntryOrigin::Library);
        return store;
    }();
    return rows;
}

Query::Context context()
{
    static const std::vector<quint8> flags = Query::duplicateFlags(catalogue());
    Query::Context c;
    c.now = 1718409600; // fixed: both matchers count ages from the same moment
    c.media = {{QStringLiteral("CD01"), QStringLiteral("NIGHT_DRIVE"), QStringLiteral("Shelf B"), true, 915000000},
               {QStringLiteral("CD02"), QString(), QString(), false},
               {QStringLiteral("HD01"), QStringLiteral("Café"), QStringLiteral("box 3"), std::nullopt}};
    c.duplicates = &flags;
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    Query::Parsed parsed = Query::parse(text);
    if (!parsed.ok()) {
        FUZZ_CHECK(!parsed.root);
        FUZZ_CHECK(parsed.position >= 1 && parsed.position <= text.size() + 1);
        return 0;
    }
    const RowStore &rows = catalogue();
    std::vector<qint32> one;
    {
        const Query::Matcher matcher(parsed.root.get(), context());
        for (qsizetype row = 0; row < rows.size(); ++row) {
            if (matcher.matches(rows, row))
                one.push_back(qint32(row));
        }
        FUZZ_CHECK(matcher.filter(rows) == one);
    }
    if (!parsed.root)
        return 0;
    Query::Node negated;
    negated.kind = Query::Node::Kind::Not;
    negated.children.push_back(std::move(parsed.root));
    const Query::Matcher matcher(&negated, context());
    for (qsizetype row = 0; row < rows.size(); ++row)
        FUZZ_CHECK(matcher.matches(rows, row) != std::binary_search(one.begin(), one.end(), qint32(row)));
    return 0;
}
