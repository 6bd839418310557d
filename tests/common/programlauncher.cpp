#include "programlauncher.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace ProgramLauncher {

#ifdef VQ_PROGRAM_LAUNCHER
namespace {

// ELF class, byte order and machine: what decides whether the test's own
// emulator can run a program.
QByteArray elfKind(const QString& path)
{
    constexpr int KIND_END = 20;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray header = file.read(KIND_END);
    if (header.size() < KIND_END || !header.startsWith("\x7f" "ELF"))
        return QByteArray();
    return header.mid(4, 2) + header.mid(18, 2);
}

bool builtForTheTarget(const QString& program)
{
    const QString path = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    const QByteArray kind = elfKind(path);
    return !kind.isEmpty() && kind == elfKind(QCoreApplication::applicationFilePath());
}

} // namespace
#endif

QStringList command(const QString& program, const QStringList& arguments)
{
    QStringList line;
#ifdef VQ_PROGRAM_LAUNCHER
    if (builtForTheTarget(program)) {
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
