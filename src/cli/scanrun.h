#pragma once

#include "cli/clicontext.h"
#include "media/mediascan.h"
#include "store/mediaregister.h"

#include <QString>

// What scan and rescan share: the folder they walk, the walk with its
// progress on a terminal, and noting the scan in the media register.
namespace ScanRun {

// The folder a scan walks, as the full path stored for its files; empty
// (after a message) when it cannot be scanned.
QString scanRoot(const CliContext &context, const QString &argument);

// Scans root, its ID3v1 text read in codepage, showing progress on a
// terminal's standard error and naming every folder and file left out
// there.
ScanOutcome scanShowingProgress(const QString &root, const QString &source, const QString &codepage);

// The code page the register gives source ("auto" when it has no record);
// empty after a message when the register names one not in the list.
QString codepageOf(const MediaRegister &media, const QString &source);

// Reads the media register of the data folder; false (after a message)
// when it exists but cannot be read or is damaged: it must then not be
// saved over.
bool readRegister(const CliContext &context, MediaRegister &media);

// Whether the catalogue was saved before the register, and by what: the
// user must then hear that it changed although the register did not.
enum class CatalogueSaved { No, WithScan, WithRescan };

// Notes a scan of root for source with the totals given, and saves the
// register; false after a message when it cannot be saved.
bool saveScanNoted(const CliContext &context, MediaRegister &media, const QString &source, const QString &root,
                   const MediumTotals &totals, CatalogueSaved catalogue);

} // namespace ScanRun
