#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Exit statuses of vq_datacore: each failure has its own, so that scripts can
// tell them apart.
enum class DatacoreToolStatus : int
{
    Ok = 0,
    Differences = 1,
    Usage = 2,
    NoConnection = 3,
    ConnectionLost = 4,
    TimedOut = 5,
    UnknownPath = 6,
    ValueRefused = 7,
    NotConfirmed = 8,
    OtherValueStored = 9,
    FrameTooLarge = 10,
    Interrupted = 130,
};

enum class DatacoreToolFormat
{
    Text,
    Json,
    Value,
};

enum class DatacoreToolCommand
{
    List,
    Dump,
    Diff,
    Get,
    Set,
    Watch,
};

// What vq_datacore is asked to do, from its command line.
struct DatacoreToolOptions
{
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 29440;
    int timeoutSeconds = 15;
    DatacoreToolFormat format = DatacoreToolFormat::Text;
    bool verbose = false;
    bool force = false;      // set: even when the number of items changes
    bool updatesOnly = false; // watch: without the current values first
    int count = 0;           // watch: stop after this many changes; 0: no limit
    int durationSeconds = 0; // watch: stop after this long; 0: no limit
    DatacoreToolCommand command = DatacoreToolCommand::List;
    QString prefix;          // list, dump, diff: only datacores at or under it
    QString dumpFile;        // diff
    QStringList paths;       // get, watch; set: the one path
    QStringList values;      // set: one per data item
};

// Parses the command line (program name first); environment holds VQ_HOST
// and VQ_PORT, which the command line overrides. On false, error holds the
// message for the user; help and --version print and exit here.
bool parseDatacoreToolOptions(const QStringList& arguments, const QHash<QString, QString>& environment,
                              DatacoreToolOptions& options, QString* error);


// Whether path is prefix itself or lies under it; every path is under an empty prefix.
bool isUnderPrefix(const QString& path, const QString& prefix);
