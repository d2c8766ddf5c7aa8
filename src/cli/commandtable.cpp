#include "cli/commandtable.h"

#include "cli/librarycommands.h"
#include "cli/queryhelp.h"

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
                "over unless --accept-damaged is given. A folder the media register holds as another "
                "medium's root, or a source ID that differs from a registered one only in case or "
                "surrounding blanks, is added all the same after a warning on standard error, unless "
                "--rescan-existing is given: then that medium is rescanned from PATH instead and the "
                "rescan's summary printed (as rescan --yes does); the same holds for an ID that already "
                "has entries. The media register is saved before the catalogue, under the same lock."),
            .positional = {{QStringLiteral("PATH"), QStringLiteral("The folder to scan.")}},
            .options = {QCommandLineOption(QStringList{QStringLiteral("source")},
                                QStringLiteral("Source ID of the medium, such as CD02 (required)."),
                                QStringLiteral("ID")),
             QCommandLineOption(QStringList{QStringLiteral("accept-damaged")},
                                QStringLiteral("Scan into a damaged catalogue: its whole entries are "
                                               "kept, the damaged rest is dropped.")),
             QCommandLineOption(QStringList{QStringLiteral("rescan-existing")},
                                QStringLiteral("When PATH or ID is a medium already catalogued, rescan "
                                               "that medium instead of adding its files again."))},
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
                                                          "matches (the language of the filter box, described in "
                                                          "\"ondro-cli query --help\")."),
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
            .synopsis = QStringLiteral("list [--json] | set ID [--note TEXT] [--codepage NAME] [--tags id3v1|id3v2] | "
                                       "rename OLD NEW | remove ID [--yes]"),
            .summary = QStringLiteral("Print the media register, set a medium's note, code page or tag choice, or "
                                      "rename or remove a medium."),
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
                "\"media rename OLD NEW\" gives every entry of OLD and its register record the source NEW; "
                "an ID in use, an empty one, or one that differs from another medium's only in case or blanks "
                "is refused (exit status 2). \"media remove ID\" removes the medium's entries and its record; "
                "without --yes it asks when standard input and error are a terminal, and otherwise removes "
                "nothing (exit status 1). Both save the catalogue and the register under the catalogue's lock. "
                "A register that cannot be read or is damaged "
                "gives exit status 3 and is never saved over."),
            .positional = {{QStringLiteral("ACTION"), QStringLiteral("list, set, rename or remove.")},
                           {QStringLiteral("ID"), QStringLiteral("The source ID (set, rename, remove).")},
                           {QStringLiteral("NEW"), QStringLiteral("The new source ID (rename only).")}},
            .optionalPositional = 2,
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
                                           QStringLiteral("id3v1|id3v2")),
                        QCommandLineOption(QStringList{QStringLiteral("yes")},
                                           QStringLiteral("remove: remove without asking."))},
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
                "language of the filter box, described in \"ondro-cli query --help\"; put \"--\" before an EXPR that "
                "starts with \"-\"): how many, their "
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
            .synopsis = QStringLiteral("EXPR [--json|--csv] [--sort FIELD[,-FIELD...]]"),
            .summary = QStringLiteral("Print the entries that match a query."),
            .details = QStringLiteral(
                "Prints, in catalogue order (or as --sort orders them), the entries that match EXPR, given "
                "as one argument (quoted in the shell; put \"--\" before one that starts with \"-\"). With "
                "--json and --csv each entry also carries the "
                "facts a scan recorded, where known: size, mtime, dur, kbps, mode, rate, enc, aid, est "
                "(1 when dur is estimated), dmg (short: the file was cut; long: more audio than its header "
                "counts), trk, disc (in JSON, numbers as numbers and facts not known left out; a fact is read as "
                "the query reads it, so what is not a number is not known). --csv prints "
                "RFC 4180 CSV: a header "
                "row, the nine fields then the facts, CR LF line ends, a value holding a comma, a quote "
                "or a line break in quotes. A query that cannot be parsed gives exit status 2 and a "
                "message naming the place (\"Unknown field \"artst\" at 1\"); exit status 1 when "
                "nothing matches.\n\n") + queryLanguageHelp(),
            .positional = {{QStringLiteral("EXPR"), QStringLiteral("The query.")}},
            .options = {jsonOption(),
                        QCommandLineOption(QStringList{QStringLiteral("csv")},
                                           QStringLiteral("Print CSV with a header row instead.")),
                        QCommandLineOption(QStringList{QStringLiteral("sort")},
                                           QStringLiteral("Print the matches in the order of FIELD (path, source, "
                                                          "artist, title, album, year, genre or cover) as the "
                                                          "desktop list sorts it; the fields after a comma decide "
                                                          "among equals; \"-\" before one sorts it descending: "
                                                          "--sort artist,-year."),
                                           QStringLiteral("FIELD[,-FIELD...]"))},
            .run = runQuery,
            .check = checkQuery,
            .printsEntries = true};
}

CommandSpec queriesCommand()
{
    return {.name = QStringLiteral("queries"),
            .synopsis = QStringLiteral("list [--json] | save NAME EXPR [--replace] | remove NAME"),
            .summary = QStringLiteral("List, save or remove the saved queries."),
            .details = QStringLiteral(
                "The saved queries of the data folder (\"queries.json\", the desktop's filter box keeps them "
                "too). \"queries list\" prints one line per query: its name and its text, separated by a tab "
                "and escaped as entries are; with --json one JSON array of objects with \"name\" and "
                "\"query\". \"queries save NAME EXPR\" saves EXPR under NAME: a query that cannot be parsed "
                "is refused with the parser's message, and a name in use is replaced only with --replace "
                "(exit status 2 otherwise). \"queries remove NAME\" removes it. Wherever a command takes a "
                "query, \"@NAME\" stands for a saved one: as the whole query, or as a term of a larger one "
                "(\"@lossy -genre:pop\"); an unknown name gives exit status 2. A queries.json that cannot be "
                "read gives exit status 3 and is never saved over."),
            .positional = {{QStringLiteral("ACTION"), QStringLiteral("list, save or remove.")},
                           {QStringLiteral("NAME"), QStringLiteral("The query's name (save and remove).")},
                           {QStringLiteral("EXPR"), QStringLiteral("The query (save only).")}},
            .optionalPositional = 2,
            .options = {jsonOption(),
                        QCommandLineOption(QStringList{QStringLiteral("replace")},
                                           QStringLiteral("Replace a saved query of that name."))},
            .run = runQueries,
            .check = checkQueries};
}

} // namespace

const std::vector<CommandSpec> &commands()
{
    static const std::vector<CommandSpec> specs{scanCommand(),   listCommand(),   findCommand(),   headerCommand(),
                                                tagCommand(),    exportCommand(), libraryCommand(),
                                                mediaCommand(),  rescanCommand(), verifyCommand(),
                                                duplicatesCommand(),
                                                queryCommand(),  statsCommand(),  queriesCommand()};
    return specs;
}
