#include "cli/commandtable.h"

#include "cli/librarycommands.h"

QCommandLineOption dataDirOption()
{
    return QCommandLineOption(QStringList{QStringLiteral("data-dir")},
                              QStringLiteral("Folder holding the catalogue \"zembra.lst\" and the settings "
                                             "\"ondro2k.ini\" (default: the desktop program's data folder)."),
                              QStringLiteral("DIR"));
}

const QString &entryFormatHelp()
{
    static const QString text = QStringLiteral(
        "Entries are printed one per line, the nine fields filename, source, artist, track, album, year, "
        "genre, coverimage, audioheader separated by a tab; a backslash, a tab or a line break (CR LF, CR or "
        "LF) inside a value is written as \\\\, \\t or \\n, and any other control character (bytes 0 to 31 and "
        "127) as \\x and two hex digits, such as \\x1b for ESC. With --json: one JSON array of objects with those "
        "nine keys plus \"origin\" (\"own\" or \"library\").");
    return text;
}

const QString &exitStatusHelp()
{
    static const QString text = QStringLiteral(
        "Exit status: 0 success; 1 the command ran and found nothing (find or query without a match, header of a "
        "file without a frame header, tag of a file whose five fields are all empty, duplicates without a "
        "group); 2 a usage error, or a "
        "command or export kind that is not known; 3 a failure (a file or folder that cannot be read "
        "or written), with a message on standard error naming the file and the reason.");
    return text;
}

namespace {

QCommandLineOption jsonOption()
{
    return QCommandLineOption(QStringList{QStringLiteral("json")},
                              QStringLiteral("Print one JSON array of objects instead of tab-separated lines."));
}

CommandSpec scanCommand()
{
    return {.name = QStringLiteral("scan"),
            .synopsis = QStringLiteral("PATH --source ID"),
            .summary = QStringLiteral("Add every MP3 file under PATH as an own track and save the catalogue."),
            .details = QStringLiteral(
                "Walks the folder PATH as the desktop Scan does (a folder's own files first, then "
                "its subfolders, names in case-insensitive order), reads each file's tags and frame "
                "header, appends the files as own tracks with the source ID and saves the catalogue "
                "(settings are left untouched). Progress goes to standard error when it is a "
                "terminal; folders that cannot be read are listed there and do not stop the scan. "
                "Prints \"N files imported\" at the end, followed by how many files and folders were left "
                "out and why (folder names not valid UTF-8, names with a line break, unreadable folders) "
                "when there were any; once the catalogue is saved the exit status is 0 "
                "even if that line cannot be written. While the desktop program runs on the same "
                "data folder the scan refuses (exit status 3), since the desktop would save over it; "
                "a scan started while another ondro-cli changes the same catalogue waits for it and "
                "runs after it. A damaged catalogue (whole entries followed by damage) is not saved "
                "over unless --accept-damaged is given."),
            .positional = {{QStringLiteral("PATH"), QStringLiteral("The folder to scan.")}},
            .options = {QCommandLineOption(QStringList{QStringLiteral("source")},
                                QStringLiteral("Source ID of the medium, such as CD02 (required)."),
                                QStringLiteral("ID")),
             QCommandLineOption(QStringList{QStringLiteral("accept-damaged")},
                                QStringLiteral("Scan into a damaged catalogue: its whole entries are "
                                               "kept, the damaged rest is dropped."))},
            .run = runScan};
}

CommandSpec listCommand()
{
    return {.name = QStringLiteral("list"),
            .synopsis = QStringLiteral("[--json]"),
            .summary = QStringLiteral("Print the catalogue in its stored order."),
            .details = QStringLiteral("Prints every catalogue entry in its stored order."),
            .options = {jsonOption()},
            .run = runList,
            .printsEntries = true};
}

CommandSpec findCommand()
{
    return {.name = QStringLiteral("find"),
            .synopsis = QStringLiteral("TEXT [--json]"),
            .summary = QStringLiteral("Print the entries whose path contains TEXT."),
            .details = QStringLiteral(
                "Prints, in catalogue order, the entries whose path contains TEXT, ignoring case; "
                "an underscore in a path matches a blank in TEXT, and a TEXT holding \"_\" matches "
                "nothing. An empty TEXT matches every entry with a path. Exit status 1 when "
                "nothing matches."),
            .positional = {{QStringLiteral("TEXT"), QStringLiteral("The text to look for in the paths.")}},
            .options = {jsonOption()},
            .run = runFind,
            .printsEntries = true};
}

// A command that reads one MP3 file and neither the catalogue nor the data folder.
CommandSpec fileCommand(const QString &name, const QString &summary, const QString &details, CommandFunction run)
{
    return {.name = name,
            .synopsis = QStringLiteral("FILE"),
            .summary = summary,
            .details = details,
            .positional = {{QStringLiteral("FILE"), QStringLiteral("An MP3 file.")}},
            .run = run,
            .usesDataDir = false};
}

CommandSpec headerCommand()
{
    return fileCommand(QStringLiteral("header"),
                       QStringLiteral("Print the frame header bits of FILE and their decoded line."),
                       QStringLiteral(
                           "Prints the bits of the first MPEG audio frame header of FILE (four groups of eight "
                           "0/1 characters) on one line and the decoded line of the details window on the "
                           "next. Prints \"n/a\" with exit status 1 when FILE has no frame header."),
                       runHeader);
}

CommandSpec tagCommand()
{
    return fileCommand(QStringLiteral("tag"), QStringLiteral("Print the five tag fields a scan would store for FILE."),
                       QStringLiteral(
                           "Prints five lines \"artist: VALUE\", \"track: VALUE\", \"album: VALUE\", "
                           "\"year: VALUE\", \"genre: VALUE\", always in this order, one blank after the "
                           "colon; VALUE is escaped like the fields of entries (\\\\, \\t, \\n, \\xHH) and may be "
                           "empty. Exit status 1 when all five are empty."),
                       runTag);
}

CommandSpec exportCommand()
{
    const QString kinds = exportKindNames().join(QStringLiteral(", "));
    return {.name = QStringLiteral("export"),
            .synopsis = QStringLiteral("KIND [--to DIR] [--query EXPR] [--relative] [--resolve]"),
            .summary = QStringLiteral("Write an export: %1.").arg(kinds),
            .details = QStringLiteral(
                           "Writes the same file as the desktop export of KIND (%1) into its default folder or DIR, "
                           "and prints each path written. The playlists and data files (m3u8, xspf, csv, jsonl) are "
                           "written as the catalogue is read and replace the file of an earlier export: m3u8 is UTF-8 "
                           "with \"#EXTM3U\" and per entry \"#EXTINF:\" with its whole seconds (-1 when not known) "
                           "and \"Artist - Title\" (the file name when both are empty), then its path; xspf is an "
                           "XSPF version 1 playlist with file:// locations, title, creator, album, trackNum and "
                           "duration in milliseconds; csv (RFC 4180, CR LF line ends) has a header row and per entry "
                           "the nine fields then the facts size, mtime, dur, kbps, mode, rate, enc, aid, est, dmg, "
                           "trk and disc (empty when not known: not recorded, or no number where one is due); jsonl has "
                           "one JSON object per line with the same keys in alphabetical order, the facts not known left "
                           "out.")
                           .arg(exportKindsHelp()),
            .positional = {{QStringLiteral("KIND"), QStringLiteral("One of: %1.").arg(kinds)}},
            .options = {QCommandLineOption(QStringList{QStringLiteral("to")}, QStringLiteral("Write into DIR instead."),
                                           QStringLiteral("DIR")),
                        QCommandLineOption(QStringList{QStringLiteral("query")},
                                           QStringLiteral("m3u8, xspf, csv, jsonl: only the entries the query EXPR "
                                                          "matches (the language of the filter box)."),
                                           QStringLiteral("EXPR")),
                        QCommandLineOption(QStringList{QStringLiteral("relative")},
                                           QStringLiteral("m3u8: paths relative to the playlist's folder.")),
                        QCommandLineOption(QStringList{QStringLiteral("resolve")},
                                           QStringLiteral("m3u8, xspf, csv, jsonl: each path where its medium is "
                                                          "mounted now (the media register's current root)."))},
            .run = runExportCommand,
            .check = checkExport,
            .readsCatalogue = exportReadsCatalogue};
}

CommandSpec libraryCommand()
{
    return {.name = QStringLiteral("library"),
            .synopsis = QStringLiteral("create|show FILE [--json]"),
            .summary = QStringLiteral("Write the own tracks into a new library file, or print one."),
            .details = QStringLiteral(
                "\"library create FILE\" writes the own tracks of the catalogue into a new library "
                "file (\".odl\" is added to a name without it) and prints its path; an existing file "
                "is refused and left as it is. \"library show FILE\" prints the tracks of a library "
                "file as the desktop load adds them, with origin \"library\"; a file that is no "
                "library, or is damaged, gives exit status 3 after the tracks that could be read."),
            .positional = {{QStringLiteral("ACTION"), QStringLiteral("create or show.")},
                           {QStringLiteral("FILE"), QStringLiteral("The library file.")}},
            .options = {jsonOption()},
            .run = runLibrary,
            .check = checkLibrary};
}

CommandSpec mediaCommand()
{
    return {.name = QStringLiteral("media"),
            .synopsis = QStringLiteral("list [--json] | set ID [--note TEXT] [--codepage NAME] [--tags id3v1|id3v2]"),
            .summary = QStringLiteral("Print the media register, or set a medium's note, code page or tag choice."),
            .details = QStringLiteral(
                "\"media list\" prints one line per medium (every source ID of the catalogue and of the "
                "media register \"media.json\"), its fields separated by a tab and escaped as entries are: "
                "source, label, \"online\" or \"offline\" (empty for a source the register does not know), "
                "entries in the catalogue, bytes, seconds, last scanned (ISO 8601 UTC), current root, note. "
                "With --json: one JSON array of objects with the register's keys plus \"online\" (null "
                "when not known), \"currentRoot\" and \"entries\". \"media set ID --note TEXT\" sets where "
                "the medium physically is (\"Shelf B, box 3\"); \"--codepage NAME\" sets how the ID3v1 text of "
                "the medium is decoded by its scans and rescans: auto (UTF-8 when valid, else Windows-1252) "
                "or one of windows-1250, windows-1251, windows-1252, windows-1253, iso-8859-2, koi8-r, "
                "shift_jis, gbk, big5, euc-kr (`ondro-cli rescan --source ID` reads the tags again in it). "
                "\"--tags id3v1|id3v2\" sets which tag the fields of the medium come from first: id3v1 (the "
                "default: the ID3v1 field when the file has one, the ID3v2 field where the ID3v1 one is empty "
                "or fills its 30 bytes with the start of the ID3v2 one) or id3v2 (the ID3v2 field where the "
                "file has it, else the ID3v1 one); a rescan applies it too. Any of them may be given together. "
                "A register that cannot be read or is damaged "
                "gives exit status 3 and is never saved over."),
            .positional = {{QStringLiteral("ACTION"), QStringLiteral("list or set.")},
                           {QStringLiteral("ID"), QStringLiteral("The source ID (set only).")}},
            .optionalPositional = 1,
            .options = {jsonOption(),
                        QCommandLineOption(QStringList{QStringLiteral("note")},
                                           QStringLiteral("The note to set (empty clears it)."),
                                           QStringLiteral("TEXT")),
                        QCommandLineOption(QStringList{QStringLiteral("codepage")},
                                           QStringLiteral("The code page of the medium's ID3v1 text."),
                                           QStringLiteral("NAME")),
                        QCommandLineOption(QStringList{QStringLiteral("tags")},
                                           QStringLiteral("Which tag the medium's fields come from first: id3v1 "
                                                          "or id3v2."),
                                           QStringLiteral("id3v1|id3v2"))},
            .run = runMedia,
            .check = checkMedia};
}

CommandSpec rescanCommand()
{
    return {.name = QStringLiteral("rescan"),
            .synopsis = QStringLiteral("[PATH] --source ID [--dry-run] [--yes]"),
            .summary = QStringLiteral("Walk a medium again and bring its entries up to date."),
            .details = QStringLiteral(
                "Walks the medium's current root (or PATH) and compares it with the entries of the source: "
                "kept (same path, tags and header, and the same size and time where the entry knows them), "
                "changed, moved (the same audio identity at a new path; for an entry scanned without the "
                "facts, the same file name, tags and header), added and removed. Entries in folders that cannot be read are kept as they "
                "are; kept, changed and moved entries keep their place and cover; added ones are appended. "
                "Prints \"Rescan ID: N added, N removed, N changed, N moved, N unchanged.\" and applies it "
                "with --yes; without --yes it asks when standard input and error are a terminal, and "
                "otherwise changes nothing (exit status 1). --dry-run only prints the summary. Without PATH "
                "the medium must be online (its volume mounted)."),
            .positional = {{QStringLiteral("PATH"), QStringLiteral("The folder to walk (default: the current root).")}},
            .optionalPositional = 1,
            .options = {QCommandLineOption(QStringList{QStringLiteral("source")},
                                           QStringLiteral("Source ID of the medium, such as CD02 (required)."),
                                           QStringLiteral("ID")),
                        QCommandLineOption(QStringList{QStringLiteral("dry-run")},
                                           QStringLiteral("Print the summary and change nothing.")),
                        QCommandLineOption(QStringList{QStringLiteral("yes")},
                                           QStringLiteral("Apply the changes without asking."))},
            .run = runRescan};
}

CommandSpec duplicatesCommand()
{
    return {.name = QStringLiteral("duplicates"),
            .synopsis = QStringLiteral("[--kind audio|song] [--json]"),
            .summary = QStringLiteral("Print the groups of copies of the same audio or the same song."),
            .details = QStringLiteral(
                "Same audio: entries with the same audio identity (the same audio bytes, whatever the "
                "tags). Same song: the same artist and title (case, accents and surrounding blanks aside) "
                "and playing times within two seconds, on different files. Both use the facts a scan "
                "records; entries scanned without them are in no group until a rescan. Groups come "
                "largest first, audio before song. Prints one line per copy, its fields separated by a "
                "tab and escaped as entries are: kind, group number, source, \"online\" or \"offline\" "
                "(empty for a source the media register does not know), playing time, artist, title, "
                "path. With --json: one JSON array of groups {\"kind\", \"copies\"}. Exit status 1 when "
                "there are no duplicates."),
            .options = {jsonOption(),
                        QCommandLineOption(QStringList{QStringLiteral("kind")},
                                           QStringLiteral("Only this kind: audio or song."), QStringLiteral("KIND"))},
            .run = runDuplicates,
            .check = checkDuplicates};
}

CommandSpec statsCommand()
{
    return {.name = QStringLiteral("stats"),
            .synopsis = QStringLiteral("[EXPR] [--by source|genre|decade|kbps|mode|enc] [--json]"),
            .summary = QStringLiteral("Print how many entries, their size and playing time, and breakdowns."),
            .details = QStringLiteral(
                "Counts the entries of the catalogue, or with EXPR those that match the query EXPR (the "
                "language of the filter box; put \"--\" before an EXPR that starts with \"-\"): how many, their "
                "total size and playing time, and the same by medium (source), genre, decade (from the first "
                "four digits of the year), bitrate (kbps), mode and encoder (enc). Size, playing time, bitrate, "
                "mode and encoder come from the facts a scan records; entries scanned without them are counted "
                "as lacking them, and an empty or unknown value is counted as \"(unknown)\". Prints the summary "
                "lines entries, bytes, withoutSize, seconds and withoutDuration, each a name and a number "
                "separated by a tab, then one line per value of each breakdown (or of KIND alone with --by), "
                "most entries first, its fields separated by a tab and escaped as entries are: breakdown, "
                "value, entries, bytes, seconds. With --json: one JSON object with the summary's keys and "
                "\"by\", an object of breakdowns, each an array of {\"key\", \"entries\", \"bytes\", "
                "\"seconds\"}. Exit status 1 when no entry is counted."),
            .positional = {{QStringLiteral("EXPR"), QStringLiteral("A query: only the entries it matches count.")}},
            .optionalPositional = 1,
            .options = {QCommandLineOption(QStringList{QStringLiteral("json")},
                                           QStringLiteral("Print one JSON object instead of tab-separated lines.")),
                        QCommandLineOption(QStringList{QStringLiteral("by")},
                                           QStringLiteral("Only this breakdown: source, genre, decade, kbps, mode "
                                                          "or enc."),
                                           QStringLiteral("KIND"))},
            .run = runStats,
            .check = checkStats};
}

CommandSpec queryCommand()
{
    return {.name = QStringLiteral("query"),
            .synopsis = QStringLiteral("EXPR [--json|--csv]"),
            .summary = QStringLiteral("Print the entries that match a query."),
            .details = QStringLiteral(
                "Prints, in catalogue order, the entries that match EXPR, given as one argument (quoted "
                "in the shell; put \"--\" before one that starts with \"-\"). A bare word matches any of "
                "path, source, artist, title, album, year and genre; words are ANDed; case and accents are "
                "ignored; \"quoted words\" stand together. field:value contains, field:=value equals, "
                "field:/re/ is a regular expression; field:<N, <=N, >N, >=N and field:A..B (inclusive) "
                "compare numbers (a year is one when it starts with four digits, below 10 none: as stats' "
                "decades count it). OR, NOT or a leading -, and parentheses combine terms. Fields: path, "
                "file, source, artist, title, album, year, genre, cover, dur (seconds), kbps, mode, rate, "
                "enc, size (K, M, G allowed), label, note, trk (the track's number), disc (the disc's "
                "number in a set); flags: has:cover, has:tag, is:online, is:offline, is:library, "
                "dup:audio, dup:song, single, has:damage (the stream's header and its length disagree), "
                "is:estimated (the playing time is worked out, not read from a header). Example: "
                "'artist:band year:1990..1999 -genre:pop', or the first three tracks of an album: "
                "'album:=\"night drive\" trk:1..3'. With --json and --csv each entry also carries the "
                "facts a scan recorded, where known: size, mtime, dur, kbps, mode, rate, enc, aid, est "
                "(1 when dur is estimated), dmg (short: the file was cut; long: more audio than its header "
                "counts), trk, disc (in JSON, numbers as numbers and facts not known left out; a fact is read as "
                "the query reads it, so what is not a number is not known). --csv prints "
                "RFC 4180 CSV: a header "
                "row, the nine fields then the facts, CR LF line ends, a value holding a comma, a quote "
                "or a line break in quotes. A query that cannot be parsed gives exit status 2 and a "
                "message naming the place (\"Unknown field \"artst\" at 1\"); exit status 1 when "
                "nothing matches."),
            .positional = {{QStringLiteral("EXPR"), QStringLiteral("The query.")}},
            .options = {jsonOption(),
                        QCommandLineOption(QStringList{QStringLiteral("csv")},
                                           QStringLiteral("Print CSV with a header row instead."))},
            .run = runQuery,
            .check = checkQuery,
            .printsEntries = true};
}

} // namespace

const std::vector<CommandSpec> &commands()
{
    static const std::vector<CommandSpec> specs{scanCommand(),   listCommand(),   findCommand(),   headerCommand(),
                                                tagCommand(),    exportCommand(), libraryCommand(),
                                                mediaCommand(),  rescanCommand(), duplicatesCommand(),
                                                queryCommand(),  statsCommand()};
    return specs;
}
