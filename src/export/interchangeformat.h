#pragma once

#include "catalogue/extensionline.h"
#include "catalogue/trackrecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <optional>
#include <string>

// The pieces the interchange exports (m3u8, XSPF, CSV, JSON Lines) are
// made of, each appended to a buffer (a std::string, whose appends inline)
// from UTF-8: the escapes of each
// format, the facts of an extension line, the title a playlist shows and
// paths as URIs or relative to a folder. Pure functions, no device.
namespace InterchangeFormat {

using Fields = std::array<QByteArrayView, TrackFieldCount>;

// The facts an export writes after the nine fields, in the extension
// line's order, and how they are read.
using ExtensionLine::FactKeys;
using ExtensionLine::FactValues;
using ExtensionLine::factValues;
using ExtensionLine::tenths;
using ExtensionLine::textValue;
using ExtensionLine::wholeNumber;

// Bytes as they are, what is not UTF-8 in them replaced by U+FFFD: every
// format is written as UTF-8, whatever a field or fact holds.
void appendUtf8(std::string &out, QByteArrayView bytes);
// A CSV field: as it is, or quoted with its quotes doubled when it holds a
// comma, a quote, CR or LF; what is not UTF-8 replaced by U+FFFD.
void appendCsvField(std::string &out, QByteArrayView value);
// A JSON string, quotes included: quote, backslash and C0 controls
// escaped (\n and the like, else \u00 and two lowercase hex digits),
// what is not UTF-8 replaced by U+FFFD.
void appendJsonString(std::string &out, QByteArrayView utf8);
// A whole number.
void appendNumber(std::string &out, qint64 n);
// A number of tenths in its shortest decimal form: "215.3", "120".
void appendTenths(std::string &out, qint64 tenths);
// A value on a tab-separated line: backslash, tab and a line break (CR LF,
// a lone CR or a lone LF) as \\, \t and \n, every other C0 control and DEL
// as \x and two lowercase hex digits (ESC as \x1b); what is not UTF-8 as
// U+FFFD.
void appendTabEscaped(std::string &out, QByteArrayView utf8);
// Text for XML 1.0 content or attributes: & < > " ' escaped, CR kept as a
// reference, characters XML does not allow (most controls, U+FFFE, U+FFFF,
// bytes that are not UTF-8) replaced by U+FFFD.
void appendXmlText(std::string &out, QByteArrayView utf8);
// An absolute path as a file:// URI, percent-encoded from UTF-8: only the
// unreserved characters, the sub-delimiters, ":", "@" and "/" stay.
void appendFileUri(std::string &out, QByteArrayView path);

// What a playlist shows for an entry: "Artist - Title", the one of them
// there is, or without both the file name without its extension.
QByteArray displayTitle(const Fields &fields);
// The whole seconds of a playing time in tenths (rounded), -1 when not known.
qint64 wholeSeconds(std::optional<qint64> tenths);

// path relative to folder (absolute, clean, without a trailing "/"), with
// "../" where it leaves it; a path that is not absolute stays as it is.
QByteArray relativePath(QByteArrayView path, QByteArrayView folder);

} // namespace InterchangeFormat
