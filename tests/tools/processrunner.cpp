#include "processrunner.h"

#include "programlauncher.h"

#include <QtTest>

#include <algorithm>

bool ProcessRunner::start(const QStringList& arguments)
{
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_partial.clear();
    m_lines.clear();
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
    // Only what arrived since the last call is split: a long-running program
    // is polled many times.
    m_partial += m_process.readAllStandardOutput();
    const int end = m_partial.lastIndexOf('\n');
    if (end >= 0) {
        for (const QByteArray& line : m_partial.left(end).split('\n'))
            m_lines.append(QString::fromUtf8(line));
        m_partial.remove(0, end + 1);
    }
    return m_lines;
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
    for (int seen = 0;;) {
        // Only lines not looked at yet: each costs a pattern match.
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
