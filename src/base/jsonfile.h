#pragma once

#include "base/atomicsave.h"
#include "base/filestamp.h"

#include <QByteArray>
#include <QString>

#include <functional>

// A small JSON document of the data folder (the media register, the saved
// queries): read whole through the safe reader, and saved atomically. A
// missing file holds nothing; one that cannot be read or is damaged is
// reported, and its owner must not save over it.
namespace JsonFile {

enum class State { Missing, Read, Unreadable, Damaged };

struct ReadResult
{
    State state = State::Missing;
    QString reason; // why it was not read, as a clause
    FileStamp stamp;
    bool usable() const { return state == State::Missing || state == State::Read; }
};

// Reads path (at most maxBytes) and gives its bytes to parse, which says
// false, with the reason, when the document is damaged; parse is not
// called for a file that is missing or cannot be read, or that holds a
// key twice in one object (damaged too: Qt would keep only the later).
ReadResult read(const QString &path, qint64 maxBytes, const std::function<bool(const QByteArray &, QString *)> &parse);

// Saves json over path, unless it is larger than maxBytes, the most read()
// takes of the same file: then nothing is written and the failure says so.
SaveResult save(const QString &path, const QByteArray &json, qint64 maxBytes);

} // namespace JsonFile
