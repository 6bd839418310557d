#pragma once

#include <QString>
#include <QStringList>

class QProcess;

// How tests start programs of this build, themselves included, as child
// processes. In a cross build they run under the emulator that the build
// names, since the build machine cannot start them by itself. Programs of the
// build machine (sh, unshare) are started as they are.
namespace ProgramLauncher {

// The command line that runs program with arguments: the emulator and its
// options first where there is one.
QStringList command(const QString& program, const QStringList& arguments = QStringList());
void start(QProcess& process, const QString& program, const QStringList& arguments = QStringList());

} // namespace ProgramLauncher
