#pragma once

#include <QByteArray>
#include <QString>

// How ondro-cli writes: standard output as is, messages on standard error.
namespace CliIo {

// Writes to standard output as is (UTF-8 bytes).
void out(const QByteArray &bytes);
void out(const QString &text);
// One line on standard error, prefixed with the program name.
void error(const QString &message);
// Flushes standard output; false when any write to it failed.
bool finishOutput();

// Tells that standard output failed after the command had done its work
// and said so itself, so the program does not report it a second time.
void outputFailureHandled();
bool isOutputFailureHandled();
// The system's reason for the last failed write to standard output.
QString outputError();

} // namespace CliIo
