#include "processrunner.h"

#include "programlauncher.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

ProcessRunner::ProcessRunner(const QString& program, QObject* parent)
    : QObject(parent)
    , m_program(program)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardErrorFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ProcessRunner::readLines);
}

ProcessRunner::~ProcessRunner()
{
    stop();
}

bool ProcessRunner::start(const QStringList& arguments)
{
    m_lines.clear();
    m_lineTimes.clear();
    m_partial.clear();
    m_clock.start();
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
    readLines();
}

void ProcessRunner::readLines()
{
    m_partial += m_process.readAllStandardOutput();
    int start = 0;
    for (int end = m_partial.indexOf('\n'); end >= 0; end = m_partial.indexOf('\n', start)) {
        m_lines.append(QString::fromUtf8(m_partial.constData() + start, end - start));
        m_lineTimes.append(m_clock.elapsed());
        start = end + 1;
    }
    m_partial.remove(0, start);
}

int ProcessRunner::countMessage(const QString& message) const
{
    return int(std::count_if(m_lines.cbegin(), m_lines.cend(),
                             [&](const QString& line) { return logMessage(line) == message; }));
}

bool ProcessRunner::waitForMessageStartingWith(const QString& prefix, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    const auto starts = [&](const QString& line) { return logMessage(line).startsWith(prefix); };
    while (std::none_of(m_lines.cbegin(), m_lines.cend(), starts)) {
        if (!isRunning() || timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

qint64 ProcessRunner::firstSeenMs(const QString& message) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        if (logMessage(m_lines.at(i)) == message)
            return m_lineTimes.at(i);
    }
    return -1;
}

qint64 ProcessRunner::residentKiB() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression rss(QStringLiteral("^VmRSS:\\s+(\\d+) kB"), QRegularExpression::MultilineOption);
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

QString logMessage(const QString& line)
{
    static const QRegularExpression prefix(QStringLiteral("^\\[\\d\\d/\\d\\d/\\d\\d\\]\\[tid:\\d+\\]\\[[TDIWECO]\\]> "));
    const QRegularExpressionMatch match = prefix.match(line);
    return match.hasMatch() ? line.mid(match.capturedEnd()) : QString();
}
