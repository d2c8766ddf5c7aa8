#pragma once

#include "cli/clicontext.h"
#include "media/mediascan.h"
#include "media/mediaregister.h"
#include "media/tagreading.h"

#include <QString>
#include <optional>

// What scan and rescan share: the folder they walk, the walk with its
// progress on a terminal, and noting the scan in the media register.
namespace ScanRun {

// The folder a scan walks, as the full path stored for its files; empty
// (after a message) when it cannot be scanned.
QString scanRoot(const CliContext &context, const QString &argument);

// Scans root, its tags read as reading says, showing progress on a
// terminal's standard error and naming every folder and file left out
// there.
ScanOutcome scanShowingProgress(const QString &root, const QString &source, const TagReading &reading);

// How the register says the tags of source are read (the default when it
// has no record); none after a message when it names a code page or a tag
// preference not in the lists.
std::optional<TagReading> readingOf(const MediaRegister &media, const QString &source);
// The message for a register that names a code page or tag preference not
// in the lists (refusal as tagReadingOf gives it).
void refuseReading(const MediaRegister &media, const QString &source, const QString &refusal);

// Reads the media register of the data folder; false (after a message)
// when it exists but cannot be read or is damaged: it must then not be
// saved over.
bool readRegister(const CliContext &context, MediaRegister &media);

// Notes a scan of root for source with the totals given (kept in the file
// for older versions; Ondro shows the entries' own), and saves the
// register, before the catalogue (what names the work: "scan", "rescan");
// false after a message when it cannot be saved: the catalogue must then
// stay as it is.
bool saveScanNoted(const CliContext &context, MediaRegister &media, const QString &source, const QString &root,
                   const MediumTotals &totals, const QString &what);
// After the catalogue could not be saved: puts the register back as it was
// read (before; none when there was no file), so nothing of the run stays.
void restoreRegister(const CliContext &context, const std::optional<MediaRegister> &before);

} // namespace ScanRun
