#include "processrunner.h"

#include "programlauncher.h"

#include <QtTest>

#include <algorithm>

bool ProcessRunner::start(const QStringList& arguments)
{
    m_process.setStandardErrorFile(QProcess::nullDevice());
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
    const QStringList all = lines();
    return int(std::count_if(all.begin(), all.end(), [&](const QString& line) { return logMessage(line) == message; }));
}

bool ProcessRunner::waitForMessageStartingWith(const QString& prefix, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const QStringList all = lines();
        // Checked once more after the program ended: its last lines may be the ones.
        const auto found = [&](const QString& line) { return logMessage(line).startsWith(prefix); };
        if (std::any_of(all.begin(), all.end(), found))
            return true;
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
