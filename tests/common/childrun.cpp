#include "childrun.h"

#include "programlauncher.h"

#include <QCoreApplication>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

constexpr char MODE_VARIABLE[] = "VQ_TEST_CHILD_MODE";

namespace ChildRun {

QByteArray mode()
{
    return qgetenv(MODE_VARIABLE);
}

Result run(const QByteArray& mode, const QStringList& arguments, const QStringList& wrapper,
           const QStringList& environment, int timeoutMs)
{
    // A child that ends without unwinding leaves its temporary files behind;
    // they go with this folder.
    const QTemporaryDir scratch;
    return execute(wrapper + ProgramLauncher::command(QCoreApplication::applicationFilePath(), arguments),
                   environment + QStringList{QLatin1String(MODE_VARIABLE) + '=' + QString::fromLatin1(mode),
                                             QStringLiteral("TMPDIR=") + scratch.path()},
                   timeoutMs);
}

Result execute(const QStringList& command, const QStringList& environment, int timeoutMs)
{
    QProcess child;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const QString& variable : environment)
        variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    child.setProcessEnvironment(variables);
    child.start(command.first(), command.mid(1));
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
        return Result();
    }
    return {child.exitStatus(), child.exitCode(), child.readAllStandardOutput(), child.readAllStandardError()};
}

} // namespace ChildRun

void usePrivateLoopback()
{
    if (unshare(CLONE_NEWNET) != 0)
        return;
    const int descriptor = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    if (descriptor >= 0 && ioctl(descriptor, SIOCGIFFLAGS, &request) == 0) {
        request.ifr_flags |= IFF_UP;
        ioctl(descriptor, SIOCSIFFLAGS, &request);
    }
    if (descriptor >= 0)
        close(descriptor);
}
