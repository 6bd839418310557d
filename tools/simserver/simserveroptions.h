#pragma once

#include <QString>

class QStringList;

// What vq_simserver is asked to do, from its command line. Rates are per
// second; 0 switches a kind of traffic off.
struct SimServerOptions
{
    quint16 port = 29440;
    QString treeFile;           // empty: the built-in description
    int syntheticDatacores = 0; // added to the description's datacores
    int serialNumber = -1;      // >= 0 replaces the description's serial number
    double eventRate = 1.0;
    double presetRate = 0.2;
    double measurementRate = 10.0;
    double statusRate = 1.0;
    int dropAfterSeconds = 0;   // > 0: close each connection after that long
    bool garbage = false;       // garbage bytes after every periodic frame
    bool corruptLength = false; // one frame header claiming a huge payload, after the sync
    int pauseBeforeTreeMs = 0;
    int durationSeconds = 0;    // > 0: stop after that long
    QString recordFile;         // record what each client is sent
    QString replayFile;         // serve this recording instead of datacores
    bool replayFast = false;    // replay without the recorded pauses
    QString exportStreamFile;   // write the replay's bytes here and exit
};

// Parses the command line (program name first). On false, error holds the
// message for the user; --help and --version are handled (and exit) here.
bool parseSimServerOptions(const QStringList& arguments, SimServerOptions& options, QString* error);
