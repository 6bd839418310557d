#include "programlauncher.h"

#include <QProcess>

namespace ProgramLauncher {

QStringList command(const QString& program, const QStringList& arguments)
{
    QStringList line;
#ifdef VQ_PROGRAM_LAUNCHER
    // Ours are named by their path in the build tree; the build machine's by
    // name alone, found on its PATH.
    if (program.contains(QLatin1Char('/'))) {
        for (const char* part : {VQ_PROGRAM_LAUNCHER})
            line.append(QString::fromLocal8Bit(part));
    }
#endif
    line.append(program);
    line.append(arguments);
    return line;
}

void start(QProcess& process, const QString& program, const QStringList& arguments)
{
    QStringList line = command(program, arguments);
    const QString first = line.takeFirst();
    process.start(first, line);
}

} // namespace ProgramLauncher
