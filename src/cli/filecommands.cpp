#include "cli/clicommands.h"

#include "media/frameheader.h"
#include "media/mediascan.h"

int runHeader(const CommandCall &call)
{
    const QString &path = call.arguments.at(0);
    if (!call.context.keptWhole(path) || !CliIo::checkReadableFile(path))
        return StatusFailure;
    // The same reading as a scan: audioheader is what the catalogue would hold.
    const QString bits = readTrackInfo(path).audioheader;
    if (bits.isEmpty()) {
        CliIo::out(FrameHeader::NotAvailable + QLatin1Char('\n'));
        return StatusNothingFound;
    }
    CliIo::out(bits.trimmed() + QLatin1Char('\n') + FrameHeader::describeFrameHeader(bits) + QLatin1Char('\n'));
    return StatusSuccess;
}

int runTag(const CommandCall &call)
{
    const QString &path = call.arguments.at(0);
    if (!call.context.keptWhole(path) || !CliIo::checkReadableFile(path))
        return StatusFailure;
    const TrackTags tags = readTrackInfo(path).tags;
    const std::pair<const char *, const QString *> fields[] = {
        {"artist", &tags.artist}, {"track", &tags.track}, {"album", &tags.album},
        {"year", &tags.year},     {"genre", &tags.genre},
    };
    QByteArray text;
    bool any = false;
    for (const auto &[name, value] : fields) {
        text.append(name).append(": ");
        CliIo::appendEscaped(text, value->toUtf8());
        text.append('\n');
        any = any || !value->isEmpty();
    }
    CliIo::out(text);
    return any ? StatusSuccess : StatusNothingFound;
}
