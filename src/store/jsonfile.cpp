#include "store/jsonfile.h"

#include "store/safefileread.h"

#include <QIODevice>

namespace JsonFile {

ReadResult read(const QString &path, qint64 maxBytes, const std::function<bool(const QByteArray &, QString *)> &parse)
{
    SafeFileRead::Options options;
    options.maxBytes = maxBytes;
    const SafeFileRead::Result file = SafeFileRead::readAll(path, options);
    ReadResult result;
    result.stamp = file.stamp;
    switch (file.status) {
    case SafeFileRead::Status::Missing:
        break;
    case SafeFileRead::Status::Refused:
    case SafeFileRead::Status::Failed:
        result.state = State::Unreadable;
        result.reason = file.reason;
        break;
    case SafeFileRead::Status::Read:
        result.state = parse(file.bytes, &result.reason) ? State::Read : State::Damaged;
        break;
    }
    return result;
}

SaveResult save(const QString &path, const QByteArray &json)
{
    return saveAtomically(path, [&json](QIODevice &device) { return device.write(json) == json.size(); });
}

} // namespace JsonFile
