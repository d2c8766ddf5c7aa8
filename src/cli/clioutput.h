#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How ondro-cli writes: standard output as is, messages on standard error.
namespace CliIo {

// Writes to standard output as is (UTF-8 bytes).
void out(QByteArrayView bytes);
void out(const QByteArray &bytes);
// The same as a sink of entry writers: true, since a failed write is
// found by finishOutput.
bool outBlock(QByteArrayView bytes);
// Appends value as a tab-separated line holds it (EntryFormat's escapes).
void appendEscaped(QByteArray &out, QByteArrayView utf8);
void out(const QString &text);
// One line on standard error, prefixed with the program name.
void error(const QString &message);
// Flushes standard output; false when any write to it failed.
bool finishOutput();

// A question on the terminal, "QUESTION [y/N] " on standard error: y or
// yes is Yes, anything else No; NoTerminal (nothing asked) unless standard
// input and error are both a terminal.
enum class Asked { Yes, No, NoTerminal };
Asked ask(const QString &question);

// Tells that standard output failed after the command had done its work
// and said so itself, so the program does not report it a second time.
void outputFailureHandled();
bool isOutputFailureHandled();
// The system's reason for the last failed write to standard output.
QString outputError();

} // namespace CliIo
