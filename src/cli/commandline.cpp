#include "cli/clicatalogue.h"
#include "cli/clicommands.h"
#include "cli/commandtable.h"

#include "base/atomicsave.h"
#include "base/platform/systempaths.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace {

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

// The parser of one command: its own help, its options and arguments.
// Returns the help option.
QCommandLineOption setUpParser(const CommandSpec &spec, QCommandLineParser &parser)
{
    parser.setApplicationDescription(spec.details + QStringLiteral("\n\n") +
                                     (spec.printsEntries ? entryFormatHelp() + QStringLiteral("\n\n") : QString()) +
                                     exitStatusHelp());
    parser.addOption(dataDirOption());
    for (const QCommandLineOption &option : spec.options)
        parser.addOption(option);
    const QCommandLineOption help = parser.addHelpOption();
    parser.addPositionalArgument(spec.name, QStringLiteral("The command."), spec.name);
    for (qsizetype i = 0; i < spec.positional.size(); ++i) {
        const auto &[name, meaning] = spec.positional.at(i);
        const bool optional = i >= spec.positional.size() - spec.optionalPositional;
        parser.addPositionalArgument(name, meaning, optional ? QStringLiteral("[%1]").arg(name) : name);
    }
    return help;
}

// An argument as a shell reads it back: in single quotes unless plain.
QString shellQuoted(const QString &argument, bool always)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=@%+,-]+$"));
    if (!always && plain.match(argument).hasMatch())
        return argument;
    return u'\'' + QString(argument).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

// The parser reads an argument that starts with "-" as options: when the
// command's query (or text) is one, what to type instead; empty otherwise.
QString dashHint(const CommandSpec &spec, const QCommandLineParser &parser, const QStringList &rest)
{
    const bool query = !spec.positional.isEmpty() && spec.positional.front().first == u"EXPR";
    const bool text = !spec.positional.isEmpty() && spec.positional.front().first == u"TEXT";
    // Only where the query is missing from what was read: "query band -x"
    // has its query.
    if ((!query && !text) || parser.unknownOptionNames().isEmpty()
        || parser.positionalArguments().size() >= spec.positional.size())
        return {};
    const auto dashed = std::find_if(rest.begin(), rest.end(), [](const QString &argument) {
        return argument.size() > 1 && argument.startsWith(u'-') && !argument.startsWith(QStringLiteral("--"));
    });
    if (dashed == rest.end())
        return {};
    QStringList typed{QStringLiteral("ondro-cli"), spec.name};
    for (const QString &argument : rest) {
        if (&argument != &*dashed)
            typed << shellQuoted(argument, false);
    }
    typed << QStringLiteral("--") << shellQuoted(*dashed, true);
    return QStringLiteral("a %1 that starts with \"-\" needs \"--\" before it: %2")
        .arg(query ? QStringLiteral("query") : QStringLiteral("text"), typed.join(u' '));
}

// The data folder a command uses: --data-dir after the command, or the
// one before it, or the default. StatusSuccess when it can be used.
int takeDataDir(const CommandSpec &spec, const QCommandLineParser &parser, CliContext &context)
{
    const bool ownDataDir = parser.isSet(QStringLiteral("data-dir"));
    context.dataDir = dataDirFrom(parser, context.dataDir);
    if (context.dataDir.isEmpty())
        return usageError(QStringLiteral("--data-dir needs a folder"));
    if (!spec.usesDataDir)
        return StatusSuccess;
    if (ownDataDir || !context.dataDirGiven) {
        // The folder given last decides; check the name it came from.
        if (ownDataDir ? !context.keptWhole(parser.value(QStringLiteral("data-dir"))) : !defaultDataDirKept())
            return StatusFailure;
    } else if (!context.keptWhole(context.dataDirArgument)) {
        return StatusFailure;
    }
    return CliIo::checkDataDir(context.dataDir) ? StatusSuccess : StatusFailure;
}

// The command's own checks, the catalogue when it reads it, and the command.
int runChecked(const CommandSpec &spec, const CliContext &context, const QCommandLineParser &parser,
               const QStringList &arguments)
{
    RowStore catalogue;
    const CommandCall call{context, parser, arguments, catalogue};
    if (spec.check) {
        if (const int status = spec.check(call); status != StatusSuccess)
            return status;
    }
    if (spec.readsCatalogue && spec.readsCatalogue(arguments) &&
        !CliIo::loadCatalogue(context.catalogueFile(), catalogue))
        return StatusFailure;
    return spec.run(call);
}

int runCommand(const CommandSpec &spec, CliContext context, const QStringList &rest)
{
    QCommandLineParser parser;
    const QCommandLineOption help = setUpParser(spec, parser);
    const bool parsed = parser.parse(QStringList{QCoreApplication::applicationName()} + rest);
    if (parser.isSet(help))
        return showHelp(parser);
    if (!parsed) {
        const QString hint = dashHint(spec, parser, rest);
        return usageError(hint.isEmpty() ? QStringLiteral("%1: %2").arg(spec.name, parser.errorText()) : hint);
    }
    const QStringList arguments = parser.positionalArguments();
    const qsizetype required = spec.positional.size() - spec.optionalPositional;
    if (arguments.size() < required || arguments.size() > spec.positional.size()) {
        const QString synopsis = QStringLiteral("ondro-cli %1 %2").arg(spec.name, spec.synopsis);
        return usageError(arguments.size() < required
                              ? QStringLiteral("%1: missing arguments; usage: %2").arg(spec.name, synopsis)
                              : QStringLiteral("%1: too many arguments; usage: %2").arg(spec.name, synopsis));
    }
    if (const int status = takeDataDir(spec, parser, context); status != StatusSuccess)
        return status;
    removeAbandonedSaves(context.dataDir);
    return runChecked(spec, context, parser, arguments);
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
        if (!QByteArrayView(raw).isValidUtf8()) {
            context.lossyArguments << QString::fromLocal8Bit(raw);
            context.lossyBytes << raw;
        }
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
