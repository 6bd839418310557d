#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// A test program run again as a child process, for what can only be seen
// from outside: exit statuses, crashes, standard output, a private mount
// namespace. The child finds its mode in the environment and does that
// instead of running the tests (see mode()).
namespace ChildRun {

struct Result
{
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// The mode this process was started in; empty when it runs the tests.
QByteArray mode();

// This program with arguments in mode, under wrapper when one is given (a
// command of the build machine such as "unshare -m"), with extra
// NAME=VALUE environment; the loop is not run while it waits.
Result run(const QByteArray& mode, const QStringList& arguments = {}, const QStringList& wrapper = {},
           const QStringList& environment = {}, int timeoutMs = 30000);

// Any command line, such as ProgramLauncher::command() gives, with extra
// NAME=VALUE environment; killed when it outlasts timeoutMs.
Result execute(const QStringList& command, const QStringList& environment = {}, int timeoutMs = 30000);

} // namespace ChildRun

// Where the machine allows it (root), gives the process a network namespace
// with a loopback of its own, so that a test on a fixed port meets nothing
// else on the machine. Call it first in main(), before any thread starts.
void usePrivateLoopback();
