#pragma once

#include "streamrecording.h"

#include <QObject>
#include <QTcpServer>

#include <vector>

class ReplaySession;

// vq_simserver in replay mode: listens on 127.0.0.1 and gives every client
// that connects its own replay of one recording. It serves no datacores and
// answers nothing.
class ReplayServer : public QObject
{
    Q_OBJECT

public:
    ReplayServer(const StreamRecording& recording, bool fast, QObject* parent = nullptr);
    ~ReplayServer() override;

    bool listen(quint16 port, QString* error);
    quint16 port() const { return m_listener.serverPort(); }

private slots:
    void onNewConnection();
    void onSessionFinished(ReplaySession* session);

private:
    const StreamRecording m_recording;
    const bool m_fast;
    QTcpServer m_listener;
    std::vector<ReplaySession*> m_sessions;
};
