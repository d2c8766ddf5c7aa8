#pragma once

#include <QString>

// What to tell the user when a document or web address could not be handed
// to a program (shell-open results up to 32): where the file is, so it can
// be opened by hand, or the address to open in a browser. Empty when the
// result says the document was handed over.
namespace OpenFailure {

QString message(const QString &pathOrAddress, int shellResult);

} // namespace OpenFailure
