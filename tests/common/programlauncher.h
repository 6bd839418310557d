#pragma once

#include <QString>
#include <QStringList>

class QProcess;

// How tests start programs as child processes. In a cross build, programs
// built for the target (the test itself, vq_simserver, vq_dummyclient) run
// under the emulator that the build names, since the build machine cannot
// start them by itself; programs of the build machine (sh, unshare, tshark),
// given by name rather than by path, run as they are.
namespace ProgramLauncher {

// The command line that runs program with arguments: the emulator and its
// options first where the program needs them.
QStringList command(const QString& program, const QStringList& arguments = QStringList());
void start(QProcess& process, const QString& program, const QStringList& arguments = QStringList());

} // namespace ProgramLauncher
