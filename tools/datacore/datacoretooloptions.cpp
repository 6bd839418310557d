#include "datacoretooloptions.h"

#include <QCommandLineParser>
#include <QHash>

#include <limits>

namespace {

const char DESCRIPTION[] = R"(Reads and sets the datacores of a control server, from a thread of its own
through the client mirror. Options come before the command; everything after
the command is its arguments, so values may start with "-".

Commands:
  list [PREFIX]        every datacore path (at or under PREFIX)
  dump [PREFIX]        every datacore: data, validation messages, activity
  diff FILE [PREFIX]   what was added, removed or changed since a dump in FILE
  get PATH...          the data, validation messages and activity of each
  set PATH VALUE...    sets the data (one VALUE per item), waits for the server
  watch PATH...        each change with a time stamp, until interrupted

Exit statuses: 0 done, 1 diff found differences, 2 usage, 3 no connection,
4 connection lost, 5 timed out, 6 unknown path, 7 value refused by the server,
8 no confirmation from the server in time, 130 interrupted.)";

struct CommandShape
{
    DatacoreToolCommand command;
    int minimumArguments;
    int maximumArguments; // -1: no limit
};

const QHash<QString, CommandShape>& commandShapes()
{
    static const QHash<QString, CommandShape> shapes = {
        {QStringLiteral("list"), {DatacoreToolCommand::List, 0, 1}},
        {QStringLiteral("dump"), {DatacoreToolCommand::Dump, 0, 1}},
        {QStringLiteral("diff"), {DatacoreToolCommand::Diff, 1, 2}},
        {QStringLiteral("get"), {DatacoreToolCommand::Get, 1, -1}},
        {QStringLiteral("set"), {DatacoreToolCommand::Set, 2, -1}},
        {QStringLiteral("watch"), {DatacoreToolCommand::Watch, 1, -1}},
    };
    return shapes;
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

} // namespace

bool isUnderPrefix(const QString& path, const QString& prefix)
{
    if (prefix.isEmpty() || path == prefix)
        return true;
    return path.size() > prefix.size() && path.startsWith(prefix) && path.at(prefix.size()) == QLatin1Char('/');
}

bool parseDatacoreToolOptions(const QStringList& arguments, DatacoreToolOptions& options, QString* error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(DESCRIPTION));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption host({QStringLiteral("H"), QStringLiteral("host")},
                                  QStringLiteral("Server address (default 127.0.0.1)."), QStringLiteral("address"));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("Server TCP port (default 29440)."), QStringLiteral("port"));
    const QCommandLineOption timeout({QStringLiteral("t"), QStringLiteral("timeout")},
                                     QStringLiteral("Give up after this many seconds (default 15); watch stops "
                                                    "counting once it is watching."),
                                     QStringLiteral("seconds"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Write one JSON object per line instead of text."));
    const QCommandLineOption count({QStringLiteral("n"), QStringLiteral("count")},
                                   QStringLiteral("watch: stop after this many changes."), QStringLiteral("changes"));
    const QCommandLineOption duration({QStringLiteral("d"), QStringLiteral("duration")},
                                      QStringLiteral("watch: stop after this many seconds."),
                                      QStringLiteral("seconds"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Write the client's log lines to standard error."));
    parser.addOptions({host, port, timeout, json, count, duration, verbose});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands below."));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("Its arguments."),
                                 QStringLiteral("[arguments...]"));

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();

    if (parser.isSet(host))
        options.host = parser.value(host);
    int portNumber = options.port;
    if (!readNumber(parser, port, 1, std::numeric_limits<quint16>::max(), &portNumber, error)
        || !readNumber(parser, timeout, 1, 24 * 3600, &options.timeoutSeconds, error)
        || !readNumber(parser, count, 1, std::numeric_limits<int>::max(), &options.count, error)
        || !readNumber(parser, duration, 1, 24 * 3600, &options.durationSeconds, error))
        return false;
    options.port = quint16(portNumber);
    options.json = parser.isSet(json);
    options.verbose = parser.isSet(verbose);

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        *error = QStringLiteral("no command given (list, dump, diff, get, set or watch)");
        return false;
    }
    const QString name = positional.takeFirst();
    const auto shape = commandShapes().constFind(name);
    if (shape == commandShapes().constEnd()) {
        *error = QStringLiteral("unknown command \"%1\" (list, dump, diff, get, set or watch)").arg(name);
        return false;
    }
    if (positional.size() < shape->minimumArguments
        || (shape->maximumArguments >= 0 && positional.size() > shape->maximumArguments)) {
        *error = QStringLiteral("wrong number of arguments for %1; see --help").arg(name);
        return false;
    }
    options.command = shape->command;
    if ((parser.isSet(count) || parser.isSet(duration)) && options.command != DatacoreToolCommand::Watch) {
        *error = QStringLiteral("--count and --duration are for watch only");
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
