#include "cli/clicommands.h"
#include "cli/librarycommands.h"

#include "store/platform/systempaths.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QDir>
#include <vector>

namespace {

struct CommandSpec
{
    QString name;
    QString synopsis;   // the arguments after the name, as shown in help
    QString summary;    // one line in the overview
    QString details;    // the command's own help
    QList<std::pair<QString, QString>> positional; // name and meaning; all are required
    QList<QCommandLineOption> options;
    CommandFunction run;
    bool usesDataDir = true; // reads or writes the catalogue in the data folder
};

QCommandLineOption dataDirOption()
{
    return QCommandLineOption(QStringList{QStringLiteral("data-dir")},
                              QStringLiteral("Folder holding the catalogue \"zembra.lst\" and the settings "
                                             "\"ondro2k.ini\" (default: the desktop program's data folder)."),
                              QStringLiteral("DIR"));
}

QCommandLineOption jsonOption()
{
    return QCommandLineOption(QStringList{QStringLiteral("json")},
                              QStringLiteral("Print one JSON array of objects instead of tab-separated lines."));
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
        "Exit status: 0 success; 1 the command ran and found nothing (find without a match, header of a "
        "file without a frame header, tag of a file whose five fields are all empty); 2 a usage error, or a "
        "command or export kind that is not known; 3 a failure (a file or folder that cannot be read "
        "or written), with a message on standard error naming the file and the reason.");
    return text;
}

const std::vector<CommandSpec> &commands()
{
    static const std::vector<CommandSpec> specs = [] {
        std::vector<CommandSpec> list;
        list.push_back({QStringLiteral("scan"), QStringLiteral("PATH --source ID"),
                        QStringLiteral("Add every MP3 file under PATH as an own track and save the catalogue."),
                        QStringLiteral(
                            "Walks the folder PATH as the desktop Scan does (a folder's own files first, then "
                            "its subfolders, names in case-insensitive order), reads each file's tags and frame "
                            "header, appends the files as own tracks with the source ID and saves the catalogue "
                            "(settings are left untouched). Progress goes to standard error when it is a "
                            "terminal; folders that cannot be read are listed there and do not stop the scan. "
                            "Prints \"N files imported\" at the end, followed by how many files and folders were left "
                            "out and why (names not valid UTF-8, names with a line break, unreadable folders) "
                            "when there were any; once the catalogue is saved the exit status is 0 "
                            "even if that line cannot be written. While the desktop program runs on the same "
                            "data folder the scan refuses (exit status 3), since the desktop would save over it; "
                            "a scan started while another ondro-cli changes the same catalogue waits for it and "
                            "runs after it. A damaged catalogue (whole entries followed by damage) is not saved "
                            "over unless --accept-damaged is given."),
                        {{QStringLiteral("PATH"), QStringLiteral("The folder to scan.")}},
                        {QCommandLineOption(QStringList{QStringLiteral("source")},
                                            QStringLiteral("Source ID of the medium, such as CD02 (required)."),
                                            QStringLiteral("ID")),
                         QCommandLineOption(QStringList{QStringLiteral("accept-damaged")},
                                            QStringLiteral("Scan into a damaged catalogue: its whole entries are "
                                                           "kept, the damaged rest is dropped."))},
                        runScan});
        list.push_back({QStringLiteral("list"), QStringLiteral("[--json]"),
                        QStringLiteral("Print the catalogue in its stored order."),
                        QStringLiteral("Prints every catalogue entry in its stored order."),
                        {},
                        {jsonOption()},
                        runList});
        list.push_back({QStringLiteral("find"), QStringLiteral("TEXT [--json]"),
                        QStringLiteral("Print the entries whose path contains TEXT."),
                        QStringLiteral(
                            "Prints, in catalogue order, the entries whose path contains TEXT, ignoring case; "
                            "an underscore in a path matches a blank in TEXT, and a TEXT holding \"_\" matches "
                            "nothing. An empty TEXT matches every entry with a path. Exit status 1 when "
                            "nothing matches."),
                        {{QStringLiteral("TEXT"), QStringLiteral("The text to look for in the paths.")}},
                        {jsonOption()},
                        runFind});
        list.push_back({QStringLiteral("header"), QStringLiteral("FILE"),
                        QStringLiteral("Print the frame header bits of FILE and their decoded line."),
                        QStringLiteral(
                            "Prints the bits of the first MPEG audio frame header of FILE (four groups of eight "
                            "0/1 characters) on one line and the decoded line of the details window on the "
                            "next. Prints \"n/a\" with exit status 1 when FILE has no frame header."),
                        {{QStringLiteral("FILE"), QStringLiteral("An MP3 file.")}},
                        {},
                        runHeader,
                        false});
        list.push_back({QStringLiteral("tag"), QStringLiteral("FILE"),
                        QStringLiteral("Print the five tag fields a scan would store for FILE."),
                        QStringLiteral(
                            "Prints five lines \"artist: VALUE\", \"track: VALUE\", \"album: VALUE\", "
                            "\"year: VALUE\", \"genre: VALUE\", always in this order, one blank after the "
                            "colon; VALUE is escaped like the fields of entries (\\\\, \\t, \\n, \\xHH) and may be "
                            "empty. Exit status 1 when all five are empty."),
                        {{QStringLiteral("FILE"), QStringLiteral("An MP3 file.")}},
                        {},
                        runTag,
                        false});
        const QString kinds = exportKindNames().join(QStringLiteral(", "));
        list.push_back({QStringLiteral("export"), QStringLiteral("KIND [--to DIR]"),
                        QStringLiteral("Write an export: %1.").arg(kinds),
                        QStringLiteral("Writes the same file as the desktop export of KIND (%1) into its default "
                                       "folder or DIR, and prints each path written.")
                            .arg(exportKindsHelp()),
                        {{QStringLiteral("KIND"), QStringLiteral("One of: %1.").arg(kinds)}},
                        {QCommandLineOption(QStringList{QStringLiteral("to")},
                                            QStringLiteral("Write into DIR instead."), QStringLiteral("DIR"))},
                        runExport});
        list.push_back({QStringLiteral("library"), QStringLiteral("create|show FILE [--json]"),
                        QStringLiteral("Write the own tracks into a new library file, or print one."),
                        QStringLiteral(
                            "\"library create FILE\" writes the own tracks of the catalogue into a new library "
                            "file (\".odl\" is added to a name without it) and prints its path; an existing file "
                            "is refused and left as it is. \"library show FILE\" prints the tracks of a library "
                            "file as the desktop load adds them, with origin \"library\"; a file that is no "
                            "library, or is damaged, gives exit status 3 after the tracks that could be read."),
                        {{QStringLiteral("ACTION"), QStringLiteral("create or show.")},
                         {QStringLiteral("FILE"), QStringLiteral("The library file.")}},
                        {jsonOption()},
                        runLibrary});
        return list;
    }();
    return specs;
}

QString overview()
{
    QString text = QStringLiteral(
        "Scans MP3 media into the Ondro catalogue and searches it from a shell. Uses the same catalogue file "
        "as the desktop program.\n\nCommands:\n");
    qsizetype width = 0;
    for (const CommandSpec &spec : commands())
        width = std::max(width, spec.name.size() + 1 + spec.synopsis.size());
    for (const CommandSpec &spec : commands()) {
        const QString head = spec.name + QLatin1Char(' ') + spec.synopsis;
        text += QStringLiteral("  ") + head.leftJustified(width + 2) + spec.summary + QLatin1Char('\n');
    }
    text += QStringLiteral("\n\"ondro-cli COMMAND --help\" describes one command.\n\n") + entryFormatHelp() +
            QStringLiteral("\n\n") + exitStatusHelp();
    return text;
}

// Help that was asked for goes to standard output. The usage line names
// the program as it is called in scripts, not by the path it was run from.
int showHelp(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    const QString calledAs = QCoreApplication::arguments().value(0);
    const QString usage = QStringLiteral("Usage: ");
    if (!calledAs.isEmpty() && text.startsWith(usage + calledAs))
        text.replace(usage.size(), calledAs.size(), QCoreApplication::applicationName());
    CliIo::out(text);
    return StatusSuccess;
}

int usageError(const QString &message)
{
    CliIo::error(message);
    CliIo::error(QStringLiteral("see \"ondro-cli --help\""));
    return StatusUsage;
}

QString dataDirFrom(const QCommandLineParser &parser, const QString &fallback)
{
    if (!parser.isSet(QStringLiteral("data-dir")))
        return fallback;
    const QString dir = parser.value(QStringLiteral("data-dir"));
    return dir.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(dir));
}

// The default data folder comes from XDG_DATA_HOME, or from HOME when that
// is not set; a name there that did not decode whole names another folder.
bool defaultDataDirKept()
{
    const char *variable = qEnvironmentVariableIsEmpty("XDG_DATA_HOME") ? "HOME" : "XDG_DATA_HOME";
    return CliIo::checkEnvironmentName(variable, QStringLiteral("--data-dir"));
}

int runCommand(const CommandSpec &spec, CliContext context, const QStringList &rest)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(spec.details + QStringLiteral("\n\n") +
                                     (spec.name == QStringLiteral("list") || spec.name == QStringLiteral("find")
                                          ? entryFormatHelp() + QStringLiteral("\n\n")
                                          : QString()) +
                                     exitStatusHelp());
    parser.addOption(dataDirOption());
    for (const QCommandLineOption &option : spec.options)
        parser.addOption(option);
    const QCommandLineOption help = parser.addHelpOption();
    parser.addPositionalArgument(spec.name, QStringLiteral("The command."), spec.name);
    for (const auto &[name, meaning] : spec.positional)
        parser.addPositionalArgument(name, meaning, name);

    const bool parsed = parser.parse(QStringList{QCoreApplication::applicationName()} + rest);
    if (parser.isSet(help))
        return showHelp(parser);
    if (!parsed)
        return usageError(QStringLiteral("%1: %2").arg(spec.name, parser.errorText()));
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != spec.positional.size()) {
        const QString synopsis = QStringLiteral("ondro-cli %1 %2").arg(spec.name, spec.synopsis);
        return usageError(arguments.size() < spec.positional.size()
                              ? QStringLiteral("%1: missing arguments; usage: %2").arg(spec.name, synopsis)
                              : QStringLiteral("%1: too many arguments; usage: %2").arg(spec.name, synopsis));
    }
    const bool ownDataDir = parser.isSet(QStringLiteral("data-dir"));
    context.dataDir = dataDirFrom(parser, context.dataDir);
    if (context.dataDir.isEmpty())
        return usageError(QStringLiteral("--data-dir needs a folder"));
    if (spec.usesDataDir) {
        if (ownDataDir || !context.dataDirGiven) {
            // The folder given last decides; check the name it came from.
            if (ownDataDir ? !context.keptWhole(parser.value(QStringLiteral("data-dir"))) : !defaultDataDirKept())
                return StatusFailure;
        } else if (!context.keptWhole(context.dataDirArgument)) {
            return StatusFailure;
        }
        if (!CliIo::checkDataDir(context.dataDir))
            return StatusFailure;
    }
    return spec.run(context, parser, arguments);
}

} // namespace

int runCli(const QStringList &arguments, const QList<QByteArray> &rawArguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(overview());
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(dataDirOption());
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run (see above)."),
                                 QStringLiteral("COMMAND [ARGUMENTS]"));

    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help))
        return showHelp(parser);
    if (parser.isSet(version)) {
        CliIo::out(QStringLiteral("ondro-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return StatusSuccess;
    }
    if (!parsed)
        return usageError(parser.errorText());

    QStringList rest = parser.positionalArguments();
    if (rest.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString name = rest.takeFirst();

    CliContext context;
    for (const QByteArray &raw : rawArguments)
        if (!QByteArrayView(raw).isValidUtf8())
            context.lossyArguments << QString::fromLocal8Bit(raw);
    context.dataDirGiven = parser.isSet(QStringLiteral("data-dir"));
    context.dataDirArgument = parser.value(QStringLiteral("data-dir"));
    context.dataDir = dataDirFrom(parser, SystemPaths::windowsDirectory());
    if (context.dataDir.isEmpty())
        return usageError(QStringLiteral("--data-dir needs a folder"));

    for (const CommandSpec &spec : commands()) {
        if (spec.name == name) {
            const int status = runCommand(spec, context, rest);
            if (!CliIo::finishOutput() && !CliIo::isOutputFailureHandled()) {
                CliIo::error(QStringLiteral("cannot write to standard output: %1").arg(CliIo::outputError()));
                return StatusFailure;
            }
            return status;
        }
    }
    return usageError(QStringLiteral("unknown command \"%1\"").arg(name));
}
