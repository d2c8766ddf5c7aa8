#pragma once

#include "base/plainfileopen.h"
#include "media/mediaregister.h"
#include "media/streamfacts.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// A verification of a medium reads each catalogued file whole and tells
// whether it is still as the scan found it. This is the judging, over what
// the reading found (media/verifyrun reads): pure, so every verdict can
// be tried on made-up readings.
namespace Verify {

enum class Status { Ok, Unreadable, Changed, Damaged, Missing };

// "ok", "unreadable", "changed", "damaged", "missing": the words of the
// output, the problem mark (vfy=) and the queries.
QByteArrayView statusWord(Status status);

// What reading one file whole found.
struct Reading
{
    SafeFileRead::Status open = SafeFileRead::Status::Missing; // Read: opened
    QString reason;            // why it did not open, or why a read failed
    qint64 size = 0;           // the file as opened
    qint64 mtime = 0;          // seconds since 1970
    std::optional<qint64> failedAt; // a read failed here, and again when tried once more
    std::optional<StreamFacts::Facts> facts; // read as a scan reads them
    std::optional<qint64> syncLostAt; // where the frames stop following each other inside the audio
    std::optional<qint64> cutFrameAt; // where a last frame starts that the audio's end cuts short
};

struct Verdict
{
    Status status = Status::Ok;
    QString detail; // what was found, for a person; empty when ok
};

// The verdict on a file whose entry's extension line is line. A file that
// is missing or cannot be read whole says so; then one whose size, time or
// audio identity is not the catalogue's is changed ("bit rot" when only the
// audio differs); then damage as a scan marks it (the audio's length and
// its header disagree) or as only a whole read finds it (frame sync lost
// inside the audio, the last frame cut short). A changed file's damage is
// told in its detail.
Verdict judge(QByteArrayView line, const Reading &reading);

// The line with the file's problem mark set (vfy=), or taken away when
// status is Ok; the line itself when nothing changes (a later version's
// line is never changed).
QByteArray markedLine(QByteArrayView line, Status status);

// Counts status in counts (files included).
void count(MediumVerification &counts, Status status);
qint64 problems(const MediumVerification &counts);
// "CD02: 812 files, 805 ok, 3 unreadable, 2 changed, 2 damaged, 0 missing"
QString summaryLine(const QString &source, const MediumVerification &counts);
// The last verification as the Media window shows it: its local time,
// then "all ok" or how many problems.
QString lastText(const MediumVerification &counts);

// The order a scan's walk reads paths in (media/folderwalker): in each
// folder its files, then its folders, each by MediaWalk::listingLessBytes.
bool walkLess(QByteArrayView a, QByteArrayView b);

} // namespace Verify
