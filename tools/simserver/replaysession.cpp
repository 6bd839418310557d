#include "replaysession.h"

#include "networkconnection.h"
#include "streamrecording.h"
#include "vqlog.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <limits>

ReplaySession::ReplaySession(QTcpSocket* socket, const StreamRecording& recording, bool fast, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_recording(recording)
    , m_fast(fast)
    , m_identifier(endpointIdentifier(socket->peerAddress(), socket->peerPort()))
    , m_sendTimer(this)
{
    m_socket->setParent(this);
    m_sendTimer.setSingleShot(true);
    connect(&m_sendTimer, &QTimer::timeout, this, &ReplaySession::onSendTimer);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { m_socket->readAll(); });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_sendTimer.stop();
        emit finished(this);
    });
}

void ReplaySession::start()
{
    m_clock.start();
    onSendTimer();
}

void ReplaySession::onSendTimer()
{
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    const auto& chunks = m_recording.chunks();
    const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
    while (m_next < chunks.size() && (m_fast || chunks[m_next].timeUs <= nowUs)) {
        m_socket->write(chunks[m_next].bytes);
        m_sentBytes += chunks[m_next].bytes.size();
        ++m_next;
    }
    m_socket->flush();

    qint64 dueUs = 0;
    if (m_next < chunks.size()) {
        dueUs = chunks[m_next].timeUs;
    } else if (!m_recording.closesConnection()) {
        VqLog::info("Replay to client {} done: {} bytes; the connection stays open", m_identifier, m_sentBytes);
        return;
    } else if (m_fast || m_recording.closeTimeUs() <= nowUs) {
        VqLog::info("Replay to client {} done: {} bytes; closing the connection", m_identifier, m_sentBytes);
        // Pending bytes are still written before the connection closes.
        m_socket->disconnectFromHost();
        return;
    } else {
        dueUs = m_recording.closeTimeUs();
    }
    const qint64 waitMs = (dueUs - nowUs + 999) / 1000;
    m_sendTimer.start(int(std::min<qint64>(waitMs, std::numeric_limits<int>::max())));
}
