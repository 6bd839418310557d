#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstddef>

class QTcpSocket;
class StreamRecording;

// One client of a replay: sends it the recording's pieces, each at its
// recorded time after the client connected (or all at once when fast), and
// closes the connection where the recording says the server closed it. What
// the client sends is read and dropped; nothing is answered.
class ReplaySession : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of socket; recording must outlive the session.
    ReplaySession(QTcpSocket* socket, const StreamRecording& recording, bool fast, QObject* parent = nullptr);

    QString identifier() const { return m_identifier; }
    void start();

signals:
    void finished(ReplaySession* session);

private slots:
    void onSendTimer();

private:
    QTcpSocket* m_socket;
    const StreamRecording& m_recording;
    const bool m_fast;
    QString m_identifier;
    QTimer m_sendTimer;
    QElapsedTimer m_clock;
    std::size_t m_next = 0;
    qint64 m_sentBytes = 0;
};
