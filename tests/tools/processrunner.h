#pragma once

#include <QProcess>
#include <QStringList>

// A program of ours run as a separate process for end-to-end tests, its
// standard output read as log lines; stopped when the runner goes.
class ProcessRunner
{
public:
    explicit ProcessRunner(const QString& program) : m_program(program) {}
    ~ProcessRunner() { stop(); }

    bool start(const QStringList& arguments = QStringList());
    // start() for vq_simserver, then waits until it listens.
    bool startListening(const QStringList& arguments = QStringList());
    // SIGTERM, then SIGKILL if it is still there after two seconds.
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QProcess& process() { return m_process; }

    // Whole lines written so far, as far as the event loop has read them.
    QStringList lines();
    // Lines whose text after the "]> " of the log prefix equals message.
    int countMessage(const QString& message);
    // Keeps the event loop going until a message starts with prefix; false
    // when the program ends or timeoutMs pass first.
    bool waitForMessageStartingWith(const QString& prefix, int timeoutMs = 10000);

private:
    QString m_program;
    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
};

// Text of a log line after its "[yy/mm/dd][tid:N][L]> " prefix, or a null
// string when the line does not have that exact form.
QString logMessage(const QString& line);
