#include "processrunner.h"

#include "programlauncher.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

ProcessRunner::ProcessRunner(const QString& program)
    : m_program(program)
{
    m_process.setStandardErrorFile(QProcess::nullDevice());
}

bool ProcessRunner::start(const QStringList& arguments)
{
    m_output.clear();
    ProgramLauncher::start(m_process, m_program, arguments);
    return m_process.waitForStarted(5000);
}

bool ProcessRunner::startListening(const QStringList& arguments)
{
    return start(arguments) && waitForMessageStartingWith(QStringLiteral("vq_simserver listening on"));
}

void ProcessRunner::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QStringList ProcessRunner::lines()
{
    m_output += m_process.readAllStandardOutput();
    QStringList all = QString::fromUtf8(m_output).split(QLatin1Char('\n'));
    // Not yet a whole line.
    all.removeLast();
    return all;
}

int ProcessRunner::countMessage(const QString& message)
{
    int count = 0;
    for (const QString& line : lines())
        count += logMessage(line) == message ? 1 : 0;
    return count;
}

bool ProcessRunner::waitForMessageStartingWith(const QString& prefix, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (int seen = 0;;) {
        const QStringList all = lines();
        for (; seen < all.size(); ++seen) {
            if (logMessage(all.at(seen)).startsWith(prefix))
                return true;
        }
        if (!isRunning() || timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
}

QString logMessage(const QString& line)
{
    static const QRegularExpression prefix(QStringLiteral("^\\[\\d\\d/\\d\\d/\\d\\d\\]\\[tid:\\d+\\]\\[[TDIWECO]\\]> "));
    const QRegularExpressionMatch match = prefix.match(line);
    return match.hasMatch() ? line.mid(match.capturedEnd()) : QString();
}
