#include "simserveroptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace {

bool toNumber(const QCommandLineParser& parser, const QCommandLineOption& option, double minimum, double& value,
              QString* error)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const double number = parser.value(option).toDouble(&ok);
    if (!ok || number < minimum) {
        *error = QStringLiteral("invalid value for --%1: %2").arg(option.names().first(), parser.value(option));
        return false;
    }
    value = number;
    return true;
}

template <typename Integer>
bool toInteger(const QCommandLineParser& parser, const QCommandLineOption& option, double minimum, double maximum,
               Integer& value, QString* error)
{
    double number = double(value);
    if (!toNumber(parser, option, minimum, number, error))
        return false;
    if (number > maximum || number != double(qint64(number))) {
        *error = QStringLiteral("invalid value for --%1: %2").arg(option.names().first(), parser.value(option));
        return false;
    }
    value = Integer(number);
    return true;
}

} // namespace

bool parseSimServerOptions(const QStringList& arguments, SimServerOptions& options, QString* error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stand-in control server: serves a tree of datacores, event, preset and measurement packets to any number "
        "of clients on 127.0.0.1, and answers their datacore changes."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("TCP port to listen on (default 29440)."),
                                  QStringLiteral("port"));
    const QCommandLineOption tree(QStringLiteral("tree"),
                                  QStringLiteral("JSON description of the datacores (default: the built-in one)."),
                                  QStringLiteral("file"));
    const QCommandLineOption synthetic(QStringLiteral("synthetic"),
                                       QStringLiteral("Add N generated datacores for load tests."), QStringLiteral("N"));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Unit serial number to report."),
                                    QStringLiteral("number"));
    const QCommandLineOption eventRate(QStringLiteral("event-rate"),
                                       QStringLiteral("Event packets per second, every class in turn (default 1)."),
                                       QStringLiteral("rate"));
    const QCommandLineOption presetRate(QStringLiteral("preset-rate"),
                                        QStringLiteral("Preset packets per second (default 0.2)."),
                                        QStringLiteral("rate"));
    const QCommandLineOption measurementRate(
        QStringLiteral("measurement-rate"),
        QStringLiteral("Binary measurement frames per second (default 10)."), QStringLiteral("rate"));
    const QCommandLineOption statusRate(QStringLiteral("status-rate"),
                                        QStringLiteral("Status datacore changes per second (default 1)."),
                                        QStringLiteral("rate"));
    const QCommandLineOption dropAfter(QStringLiteral("drop-after"),
                                       QStringLiteral("Close each connection after S seconds."),
                                       QStringLiteral("S"));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Send garbage bytes after every periodic frame."));
    const QCommandLineOption corruptLength(
        QStringLiteral("corrupt-length"),
        QStringLiteral("Send one frame header claiming a huge payload after the initial synchronisation."));
    const QCommandLineOption pauseBeforeTree(QStringLiteral("pause-before-tree"),
                                             QStringLiteral("Wait MS milliseconds before sending the path tree."),
                                             QStringLiteral("MS"));
    const QCommandLineOption duration(QStringLiteral("duration"), QStringLiteral("Stop after S seconds."),
                                      QStringLiteral("S"));
    const QCommandLineOption record(
        QStringLiteral("record"),
        QStringLiteral("Record what each client is sent, with timing, to FILE (the second client to FILE-2, ...)."),
        QStringLiteral("file"));
    const QCommandLineOption replay(
        QStringLiteral("replay"),
        QStringLiteral("Send every client the recorded (or raw) byte stream in FILE instead of serving datacores; "
                       "only --port and --duration apply."),
        QStringLiteral("file"));
    const QCommandLineOption replayFast(QStringLiteral("replay-fast"),
                                        QStringLiteral("Replay as fast as possible, without the recorded pauses."));
    const QCommandLineOption exportStream(
        QStringLiteral("export-stream"),
        QStringLiteral("Write the bytes of the --replay recording, without timing, to FILE and exit."),
        QStringLiteral("file"));
    parser.addOptions({port, tree, synthetic, serial, eventRate, presetRate, measurementRate, statusRate, dropAfter,
                       garbage, corruptLength, pauseBeforeTree, duration, record, replay, replayFast, exportStream});

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    // Qt 5.15 lists --help-all with --help; older versions do not know it.
    if (parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return false;
    }

    options.recordFile = parser.value(record);
    if (!options.recordFile.isEmpty()) {
        // Found out now rather than when the first client connects.
        const QFileInfo folder(QFileInfo(options.recordFile).absolutePath());
        if (!folder.isDir() || !folder.isWritable()) {
            *error = QStringLiteral("--record: cannot write into %1").arg(folder.filePath());
            return false;
        }
    }
    options.replayFile = parser.value(replay);
    options.replayFast = parser.isSet(replayFast);
    options.exportStreamFile = parser.value(exportStream);
    if (options.replayFile.isEmpty() && (options.replayFast || !options.exportStreamFile.isEmpty())) {
        *error = QStringLiteral("--replay-fast and --export-stream need --replay");
        return false;
    }
    if (!options.replayFile.isEmpty() && !options.recordFile.isEmpty()) {
        *error = QStringLiteral("--record and --replay cannot be combined");
        return false;
    }

    options.treeFile = parser.value(tree);
    options.garbage = parser.isSet(garbage);
    options.corruptLength = parser.isSet(corruptLength);
    return toInteger(parser, port, 1, 65535, options.port, error)
        && toInteger(parser, synthetic, 0, 10000000, options.syntheticDatacores, error)
        && toInteger(parser, serial, 0, 2147483647, options.serialNumber, error)
        && toNumber(parser, eventRate, 0, options.eventRate, error)
        && toNumber(parser, presetRate, 0, options.presetRate, error)
        && toNumber(parser, measurementRate, 0, options.measurementRate, error)
        && toNumber(parser, statusRate, 0, options.statusRate, error)
        && toInteger(parser, dropAfter, 0, 86400, options.dropAfterSeconds, error)
        && toInteger(parser, pauseBeforeTree, 0, 3600000, options.pauseBeforeTreeMs, error)
        && toInteger(parser, duration, 0, 31536000, options.durationSeconds, error);
}
