#pragma once

#include "catalogue/rowstore.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// Entries whose values break naive exports: quotes, commas, line breaks,
// tabs, "&", "<", a control character, non-Latin text, a percent-escaped
// fact; one with every fact, one with a few, two without.
namespace HostileRows {

struct Entry
{
    QStringList fields; // the nine, in their fixed order
    QByteArray extension;
};

inline const QList<Entry> &entries()
{
    static const QList<Entry> list{
        {{QStringLiteral("/m/Caf\u00e9/a,\"b\".mp3"), QStringLiteral("CD01"), QStringLiteral("Band \"The\" & Co"),
          QStringLiteral("<Song>, part 1"), QStringLiteral("Tab\there"), QStringLiteral("1999"), QStringLiteral("Rock"),
          QStringLiteral("/c/a.jpg"), QStringLiteral("11111111 11111011 10010000 01100100 ")},
         "ondro:1 size=4823112 mtime=1796762905 dur=215.3 kbps=128 mode=cbr rate=44100 enc=LAME%203.100 "
         "aid=b6caa0fcb2a37478 trk=3 disc=1"},
        {{QStringLiteral("/m/\u65e5\u672c/\u66f2 #1?.mp3"), QStringLiteral("CD02"),
          QStringLiteral("\u00dcn\u00efcode \u2014 \u65e5\u672c\u8a9e"), QStringLiteral("Line\nbreak\r\nCRLF"),
          QStringLiteral("' apostrophe"), {}, {}, {}, {}},
         "ondro:1 dur=59.5 est=1 dmg=short"},
        {{QStringLiteral("/m/ctl/x.mp3"), QStringLiteral("CD02"), QStringLiteral("ctl\u0001char"), {},
          QStringLiteral("%20 literal"), {}, {}, {}, {}},
         {}},
        {{QStringLiteral("/m/empty/Only Name.mp3"), QStringLiteral("CD03"), {}, {}, {}, {}, {}, {}, {}}, {}},
    };
    return list;
}

inline RowStore rows()
{
    RowStore rows;
    for (const Entry &entry : entries()) {
        TrackRecord record;
        for (int f = 0; f < TrackFieldCount; ++f)
            record.field(f) = entry.fields.value(f);
        rows.append(record, EntryOrigin::Own, entry.extension);
    }
    return rows;
}

// The facts size, mtime, dur, kbps, mode, rate, enc, aid, est, dmg, trk, disc of
// entry i as text, empty where absent.
inline QStringList facts(qsizetype i)
{
    if (i == 0)
        return {QStringLiteral("4823112"), QStringLiteral("1796762905"), QStringLiteral("215.3"),
                QStringLiteral("128"), QStringLiteral("cbr"), QStringLiteral("44100"), QStringLiteral("LAME 3.100"),
                QStringLiteral("b6caa0fcb2a37478"), {}, {}, QStringLiteral("3"), QStringLiteral("1")};
    QStringList none(12);
    if (i == 1) {
        none[2] = QStringLiteral("59.5");
        none[8] = QStringLiteral("1");
        none[9] = QStringLiteral("short");
    }
    return none;
}

} // namespace HostileRows
