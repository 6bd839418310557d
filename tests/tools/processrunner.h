#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStringList>

// A program of ours run as a separate process for end-to-end tests: its
// standard output is collected line by line as it arrives.
class ProcessRunner : public QObject
{
    Q_OBJECT

public:
    explicit ProcessRunner(const QString& program, QObject* parent = nullptr);
    ~ProcessRunner() override;

    bool start(const QStringList& arguments = QStringList());
    // start() for vq_simserver, then waits until it listens.
    bool startListening(const QStringList& arguments = QStringList());
    // SIGTERM, then SIGKILL if it is still there after two seconds.
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QProcess& process() { return m_process; }
    qint64 pid() const { return m_process.processId(); }

    QStringList lines() const { return m_lines; }
    // Lines whose text after the "]> " of the log prefix equals message.
    int countMessage(const QString& message) const;
    // Keeps the event loop going until a message starts with prefix; false
    // when the program ends or timeoutMs pass first.
    bool waitForMessageStartingWith(const QString& prefix, int timeoutMs = 10000);
    // Milliseconds since start() when the message first appeared, or -1.
    qint64 firstSeenMs(const QString& message) const;
    // Resident memory in KiB, from /proc.
    qint64 residentKiB() const;

private:
    void readLines();

    QString m_program;
    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
    QList<qint64> m_lineTimes;
    QElapsedTimer m_clock;
};

// Text of a log line after its "[yy/mm/dd][tid:N][L]> " prefix, or a null
// string when the line does not have that exact form.
QString logMessage(const QString& line);
