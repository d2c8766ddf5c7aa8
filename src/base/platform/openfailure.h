#pragma once

#include <QString>

#include <functional>

class Platform;
class Prompter;

// What to tell the user when a document or web address could not be handed
// to a program (shell-open results up to 32): where the file is, so it can
// be opened by hand, or the address to open in a browser. Empty when the
// result says the document was handed over.
namespace OpenFailure {

QString message(const QString &pathOrAddress, int shellResult);

// Why a file was not opened, as the end of a sentence that has already
// named it ("it is not there"); empty when it was handed over.
QString reason(int shellResult);

// Hands path to the desktop's program for it. While the program cannot be
// started (results 0 to 2) it asks (Yes/No) offlineQuestion(), asked anew
// each time so that it follows the state of the file's medium, or, when
// that is empty or not given, whether to try the player again; tries again
// on Yes. A file the desktop has no program for is told where it is.
void openWithRetry(Platform &platform, Prompter &prompter, const QString &path,
                   const std::function<QString()> &offlineQuestion);

} // namespace OpenFailure
