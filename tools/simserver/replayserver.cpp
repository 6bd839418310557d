#include "replayserver.h"

#include "forgetsession.h"
#include "replaysession.h"
#include "vqlog.h"

#include <QTcpSocket>

ReplayServer::ReplayServer(const StreamRecording& recording, bool fast, QObject* parent)
    : QObject(parent)
    , m_recording(recording)
    , m_fast(fast)
    , m_listener(this)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &ReplayServer::onNewConnection);
}

ReplayServer::~ReplayServer()
{
    // Before the recording they read from goes.
    for (ReplaySession* session : m_sessions)
        delete session;
}

bool ReplayServer::listen(quint16 port, QString* error)
{
    if (!m_listener.listen(QHostAddress(QHostAddress::LocalHost), port)) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_listener.errorString());
        return false;
    }
    VqLog::info("vq_simserver listening on 127.0.0.1:{}, replaying {} bytes in {} pieces {}", this->port(),
                m_recording.byteCount(), m_recording.chunks().size(),
                m_fast ? "as fast as possible" : "with their recorded timing");
    return true;
}

void ReplayServer::onNewConnection()
{
    while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
        auto* session = new ReplaySession(socket, m_recording, m_fast, this);
        connect(session, &ReplaySession::finished, this, &ReplayServer::onSessionFinished, Qt::QueuedConnection);
        m_sessions.push_back(session);
        VqLog::info("Client {} connected", session->identifier());
        session->start();
    }
}

void ReplayServer::onSessionFinished(ReplaySession* session)
{
    forgetSession(m_sessions, session);
}
