#include "cli/cataloguelock.h"
#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/scanrun.h"
#include "catalogue/cataloguelistfile.h"
#include "media/mediaedits.h"

#include <QDir>

namespace {

// The catalogue and the register of the data folder, both read whole;
// false after a message when either cannot be.
bool readBoth(const CommandCall &call, RowStore &catalogue, MediaRegister &media)
{
    return CliIo::loadCatalogue(call.context.catalogueFile(), catalogue, CliIo::Damaged::Refuse)
           && ScanRun::readRegister(call.context, media);
}

} // namespace

// Saves the register with what it gained (media as read, with the changed
// records beside them), then the list file (when edits change it), then
// the register as changed: a kill between any two writes leaves no entry
// without its medium. When the list file cannot be saved, the register is
// put back as read, so that the command can simply be run again. False
// after a message naming what was saved and what not.
bool saveBoth(const CommandCall &call, RowStore &catalogue, RowEdits edits, const MediaRegister &read,
              const MediaRegister &media, const QString &what)
{
    const QString path = MediaRegister::fileIn(call.context.dataDir);
    const MediaRegister before = media.withRecordsOf(read);
    const bool gained = !(before == read);
    if (gained) {
        if (const SaveResult saved = before.save(path); !saved) {
            CliIo::error(saveFailureMessage(path, saved));
            return false;
        }
    }
    const bool rowsChange = !edits.isEmpty();
    if (rowsChange) {
        std::move(edits).applyTo(catalogue);
        const QString file = call.context.catalogueFile();
        if (const SaveResult saved = CatalogueListFile::save(file, catalogue); !saved) {
            CliIo::error(saveFailureMessage(file, saved));
            if (gained)
                ScanRun::restoreRegister(call.context, read);
            return false;
        }
    }
    const SaveResult saved = media.save(path);
    if (saved)
        return true;
    CliIo::error(!rowsChange ? saveFailureMessage(path, saved)
                                 : QStringLiteral("The catalogue was saved with %1, but the media register %2 could "
                                                  "not be saved (%3); it is not up to date.")
                                       .arg(what, QDir::toNativeSeparators(path), saved.error));
    return false;
}

int runMediaRename(const CommandCall &call)
{
    const QString from = call.arguments.at(1);
    const QString to = call.arguments.at(2);
    const std::unique_ptr<SingleInstance> lock = CatalogueLock::take(call.context.dataDir);
    RowStore catalogue;
    MediaRegister media;
    if (!lock || !readBoth(call, catalogue, media))
        return StatusFailure;
    if (const QString refusal = MediaEdits::renameRefusal(media, catalogue, from, to); !refusal.isEmpty()) {
        CliIo::error(QStringLiteral("media rename: ") + refusal);
        return media.find(from) || MediaEdits::entryCount(catalogue, from) > 0 ? StatusUsage : StatusNothingFound;
    }
    RowEdits edits = MediaEdits::renamedEntries(catalogue, from, to);
    const MediaRegister read = media;
    MediaEdits::renameRecord(media, from, to);
    const qsizetype entries = qsizetype(edits.fields.size());
    if (!saveBoth(call, catalogue, std::move(edits), read, media, QStringLiteral("%1 renamed %2").arg(from, to)))
        return StatusFailure;
    CliIo::out(QStringLiteral("Renamed %1 to %2 (%3 entries).\n").arg(from, to).arg(entries));
    return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
}

int runMediaRemove(const CommandCall &call)
{
    const QString source = call.arguments.at(1);
    const std::unique_ptr<SingleInstance> lock = CatalogueLock::take(call.context.dataDir);
    RowStore catalogue;
    MediaRegister media;
    if (!lock || !readBoth(call, catalogue, media))
        return StatusFailure;
    RowEdits edits = MediaEdits::removedEntries(catalogue, source);
    const qsizetype entries = qsizetype(edits.removed.size());
    if (entries == 0 && !media.find(source)) {
        CliIo::error(QStringLiteral("media remove: there is no medium %1 in the catalogue").arg(source));
        return StatusNothingFound;
    }
    if (!call.options.isSet(QStringLiteral("yes"))) {
        const QString question = QStringLiteral("Remove %1 and its %2 entries from the catalogue?").arg(source).arg(entries);
        switch (CliIo::ask(question)) {
        case CliIo::Asked::Yes:
            break;
        case CliIo::Asked::No:
            return StatusSuccess; // as a rescan the user says No to
        case CliIo::Asked::NoTerminal:
            CliIo::error(QStringLiteral("media remove: nothing was removed; repeat with --yes to remove %1 and its "
                                        "%2 entries").arg(source).arg(entries));
            return StatusNothingFound;
        }
    }
    const MediaRegister read = media;
    media.remove(source);
    if (!saveBoth(call, catalogue, std::move(edits), read, media, QStringLiteral("%1 removed").arg(source)))
        return StatusFailure;
    CliIo::out(QStringLiteral("Removed %1 and its %2 entries.\n").arg(source).arg(entries));
    return CliIo::finishOutput() ? StatusSuccess : StatusFailure;
}
