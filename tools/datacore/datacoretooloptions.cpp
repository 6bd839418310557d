#include "datacoretooloptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

const char DESCRIPTION[] = R"(Reads and sets the datacores of a control server, from a thread of its own
through the client mirror. Options come before the command; everything after
the command is its arguments, so values may start with "-".

Commands ("vq_datacore help COMMAND" tells more):
  list [PREFIX]        every datacore path (at or under PREFIX)
  dump [PREFIX]        every datacore: data, validation messages, activity
  diff FILE [PREFIX]   what was added, removed or changed since a dump in FILE
  get PATH...          the data, validation messages and activity of each
  set PATH VALUE...    sets the data (one VALUE per item), waits for the server
  watch PATH...        the current values, then each change, until interrupted

The server is --host and --port, else VQ_HOST and VQ_PORT from the
environment, else 127.0.0.1 port 29440; a host may carry its port
("HOST:PORT", "[IPv6]:PORT").

Exit statuses: 0 done, 1 diff found differences, 2 usage, 3 no connection,
4 connection lost, 5 timed out, 6 unknown path, 7 value refused or stored as
invalid by the server, 8 no confirmation from the server in time, 9 the server
stored another value than the one asked for, 10 the server sent a frame too
large for the client, 130 interrupted.)";

struct CommandShape
{
    const char* name;
    DatacoreToolCommand command;
    int minimumArguments;
    int maximumArguments; // -1: no limit
    const char* help;
};

const CommandShape COMMANDS[] = {
    {"list", DatacoreToolCommand::List, 0, 1,
     "Usage: vq_datacore [options] list [PREFIX]\n\n"
     "Writes the path of every datacore at or under PREFIX (of all without it), one\n"
     "per line, in path order. Needs only the server's path tree.\n"},
    {"dump", DatacoreToolCommand::Dump, 0, 1,
     "Usage: vq_datacore [options] dump [PREFIX]\n\n"
     "Writes every datacore at or under PREFIX: its data, validation messages and\n"
     "activity, in path order, in the form that diff reads back.\n"},
    {"diff", DatacoreToolCommand::Diff, 1, 2,
     "Usage: vq_datacore [options] diff FILE [PREFIX]\n\n"
     "Compares the datacores at or under PREFIX with a dump saved in FILE (\"-\" for\n"
     "standard input; give the prefix the dump was taken with) and writes what was\n"
     "added (+), removed (-) or changed (~). Exit status 1 when something differs.\n"},
    {"get", DatacoreToolCommand::Get, 1, -1,
     "Usage: vq_datacore [options] get PATH...\n\n"
     "Writes the data, validation messages and activity of each datacore.\n"},
    {"set", DatacoreToolCommand::Set, 2, -1,
     "Usage: vq_datacore [options] set PATH VALUE...\n\n"
     "Sets the data of the datacore at PATH, one VALUE per item, and writes what the\n"
     "server answered. Only a leaf of the tree can be set, and the number of items\n"
     "must stay as it is unless --force is given. Exit status 0 only when the server\n"
     "stored exactly the values asked for; 7 when it refused them or stored them\n"
     "marked invalid; 9 when it stored other values.\n"},
    {"watch", DatacoreToolCommand::Watch, 1, -1,
     "Usage: vq_datacore [options] watch PATH...\n\n"
     "Writes the current value of each datacore, marked as the initial state, then\n"
     "every change with the local time in front, until interrupted (SIGINT, SIGTERM)\n"
     "or ended by --count or --duration. --updates-only leaves the current values out.\n"},
};

const CommandShape* findCommand(const QString& name)
{
    for (const CommandShape& shape : COMMANDS) {
        if (name == QLatin1String(shape.name))
            return &shape;
    }
    return nullptr;
}

[[noreturn]] void printAndExit(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
    std::exit(0);
}

bool readPort(const QString& text, const QString& source, quint16* port, QString* error)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > std::numeric_limits<quint16>::max()) {
        *error = QStringLiteral("%1 needs a port from 1 to 65535, not \"%2\"").arg(source, text);
        return false;
    }
    *port = quint16(value);
    return true;
}

// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT"; an IPv6 address without
// brackets has several colons and no port.
bool readHost(const QString& text, const QString& source, QString* host, quint16* port, QString* error)
{
    QString name = text;
    QString portText;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        const QString rest = close < 0 ? QString() : text.mid(close + 1);
        if (close < 0 || !(rest.isEmpty() || rest.startsWith(QLatin1Char(':')))) {
            *error = QStringLiteral("%1: cannot read \"%2\" as [ADDRESS]:PORT").arg(source, text);
            return false;
        }
        name = text.mid(1, close - 1);
        portText = rest.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        name = text.section(QLatin1Char(':'), 0, 0);
        portText = text.section(QLatin1Char(':'), 1);
    }
    if (name.isEmpty()) {
        *error = QStringLiteral("%1 names no host").arg(source);
        return false;
    }
    *host = name;
    return portText.isEmpty() && !text.endsWith(QLatin1Char(':')) ? true : readPort(portText, source, port, error);
}

bool readNumber(const QCommandLineParser& parser, const QCommandLineOption& option, int minimum, int maximum,
                int* number, QString* error)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const QString text = parser.value(option);
    const int value = text.toInt(&ok);
    if (!ok || value < minimum || value > maximum) {
        *error = QStringLiteral("--%1 needs a whole number from %2 to %3, not \"%4\"")
                     .arg(option.names().constLast())
                     .arg(minimum)
                     .arg(maximum)
                     .arg(text);
        return false;
    }
    *number = value;
    return true;
}

QString withoutTrailingSlashes(QString prefix)
{
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    return prefix;
}

struct Options
{
    QCommandLineOption host{{QStringLiteral("H"), QStringLiteral("host")},
                            QStringLiteral("Server address, optionally with its port as HOST:PORT (default: "
                                           "VQ_HOST, else 127.0.0.1)."),
                            QStringLiteral("address")};
    QCommandLineOption port{{QStringLiteral("p"), QStringLiteral("port")},
                            QStringLiteral("Server TCP port (default: VQ_PORT, else 29440)."), QStringLiteral("port")};
    QCommandLineOption timeout{{QStringLiteral("t"), QStringLiteral("timeout")},
                               QStringLiteral("Give up after this many seconds (default 15); watch stops counting "
                                              "once it is watching."),
                               QStringLiteral("seconds")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("Output form: text (default), json (one object per line) or value "
                                             "(the data items alone, one per line)."),
                              QStringLiteral("form")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("The same as --format json.")};
    QCommandLineOption count{{QStringLiteral("n"), QStringLiteral("count")},
                             QStringLiteral("watch: stop after this many changes."), QStringLiteral("changes")};
    QCommandLineOption duration{{QStringLiteral("d"), QStringLiteral("duration")},
                                QStringLiteral("watch: stop after this many seconds."), QStringLiteral("seconds")};
    QCommandLineOption updatesOnly{QStringLiteral("updates-only"),
                                   QStringLiteral("watch: only the changes, not the current values first.")};
    QCommandLineOption force{QStringLiteral("force"),
                             QStringLiteral("set: even when the number of items differs from the current one.")};
    QCommandLineOption verbose{QStringLiteral("verbose"),
                               QStringLiteral("Write the client's log lines to standard error.")};

    QList<QCommandLineOption> all() const
    {
        return {host, port, timeout, format, json, count, duration, updatesOnly, force, verbose};
    }
};

} // namespace

bool isUnderPrefix(const QString& path, const QString& prefix)
{
    if (prefix.isEmpty() || path == prefix)
        return true;
    return path.size() > prefix.size() && path.startsWith(prefix) && path.at(prefix.size()) == QLatin1Char('/');
}

bool parseDatacoreToolOptions(const QStringList& arguments, const QHash<QString, QString>& environment,
                              DatacoreToolOptions& options, QString* error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(DESCRIPTION));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options known;
    parser.addOptions(known.all());
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands above."));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("Its arguments."),
                                 QStringLiteral("[arguments...]"));

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    // Qt 5.15 lists --help-all with --help; older versions do not know it.
    if (parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();

    QStringList positional = parser.positionalArguments();
    const QString name = positional.value(0);
    if (name == QLatin1String("help") || (findCommand(name) && (positional.value(1) == QLatin1String("--help")
                                                                || positional.value(1) == QLatin1String("-h")))) {
        const QString about = name == QLatin1String("help") ? positional.value(1) : name;
        if (about.isEmpty())
            parser.showHelp(0);
        if (const CommandShape* shape = findCommand(about))
            printAndExit(QString::fromUtf8(shape->help));
        *error = QStringLiteral("no help on \"%1\": not a command (list, dump, diff, get, set or watch)").arg(about);
        return false;
    }

    const QString hostVariable = environment.value(QStringLiteral("VQ_HOST"));
    const QString portVariable = environment.value(QStringLiteral("VQ_PORT"));
    if ((!hostVariable.isEmpty() && !readHost(hostVariable, QStringLiteral("VQ_HOST"), &options.host, &options.port, error))
        || (!portVariable.isEmpty() && !readPort(portVariable, QStringLiteral("VQ_PORT"), &options.port, error))
        || (parser.isSet(known.host)
            && !readHost(parser.value(known.host), QStringLiteral("--host"), &options.host, &options.port, error))
        || (parser.isSet(known.port) && !readPort(parser.value(known.port), QStringLiteral("--port"), &options.port, error)))
        return false;
    if (!readNumber(parser, known.timeout, 1, 24 * 3600, &options.timeoutSeconds, error)
        || !readNumber(parser, known.count, 1, std::numeric_limits<int>::max(), &options.count, error)
        || !readNumber(parser, known.duration, 1, 24 * 3600, &options.durationSeconds, error))
        return false;

    if (parser.isSet(known.json))
        options.format = DatacoreToolFormat::Json;
    if (parser.isSet(known.format)) {
        const QString form = parser.value(known.format);
        if (form == QLatin1String("text")) {
            options.format = DatacoreToolFormat::Text;
        } else if (form == QLatin1String("json")) {
            options.format = DatacoreToolFormat::Json;
        } else if (form == QLatin1String("value")) {
            options.format = DatacoreToolFormat::Value;
        } else {
            *error = QStringLiteral("--format is text, json or value, not \"%1\"").arg(form);
            return false;
        }
    }
    options.verbose = parser.isSet(known.verbose);
    options.force = parser.isSet(known.force);
    options.updatesOnly = parser.isSet(known.updatesOnly);

    if (positional.isEmpty()) {
        *error = QStringLiteral("no command given (list, dump, diff, get, set or watch)");
        return false;
    }
    positional.removeFirst();
    const CommandShape* shape = findCommand(name);
    if (!shape) {
        *error = QStringLiteral("unknown command \"%1\" (list, dump, diff, get, set or watch)").arg(name);
        return false;
    }
    if (positional.size() < shape->minimumArguments
        || (shape->maximumArguments >= 0 && positional.size() > shape->maximumArguments)) {
        *error = QStringLiteral("wrong number of arguments for %1; see vq_datacore help %1").arg(name);
        return false;
    }
    options.command = shape->command;
    const bool watch = options.command == DatacoreToolCommand::Watch;
    if ((parser.isSet(known.count) || parser.isSet(known.duration) || options.updatesOnly) && !watch) {
        *error = QStringLiteral("--count, --duration and --updates-only are for watch only");
        return false;
    }
    if (options.force && options.command != DatacoreToolCommand::Set) {
        *error = QStringLiteral("--force is for set only");
        return false;
    }
    if (options.format == DatacoreToolFormat::Value && options.command == DatacoreToolCommand::Diff) {
        *error = QStringLiteral("diff writes text or json, not values alone");
        return false;
    }

    switch (options.command) {
    case DatacoreToolCommand::List:
    case DatacoreToolCommand::Dump:
        options.prefix = withoutTrailingSlashes(positional.value(0));
        break;
    case DatacoreToolCommand::Diff:
        options.dumpFile = positional.at(0);
        options.prefix = withoutTrailingSlashes(positional.value(1));
        break;
    case DatacoreToolCommand::Get:
    case DatacoreToolCommand::Watch:
        options.paths = positional;
        break;
    case DatacoreToolCommand::Set:
        options.paths = QStringList{positional.takeFirst()};
        options.values = positional;
        break;
    }
    return true;
}
