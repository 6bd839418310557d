#pragma once

#include "serialisabledatapacketacceptorinterface.h"
#include "serialisabledatapacketdistributor.h"
#include "serverdatacoretree.h"
#include "simserveroptions.h"

#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <vector>

class RawDataPacket;
class SimClientSession;

// The stand-in control server: listens on 127.0.0.1, serves every client the
// datacore tree and the periodic traffic the options ask for, and answers a
// client's datacore change with the same "ClientID" and "PacketID" while
// passing the result on to its other clients without them. With a record
// file it records what each client is sent.
class SimServer : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    SimServer(const SimServerOptions& options, QObject* parent = nullptr);
    ~SimServer() override;

    // Reads the description; on false, error names the file, the JSON path
    // of the first item that is wrong and what was expected there.
    bool loadTree(QString* error);
    // Starts listening, with the tree loaded; on false, error says why.
    bool start(QString* error);

    ServerDatacoreTree& tree() { return m_tree; }
    quint16 port() const { return m_listener.serverPort(); }

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;

private slots:
    void onNewConnection();
    void onSessionFinished(SimClientSession* session);
    void onEventTimer();
    void onPresetTimer();
    void onMeasurementTimer();
    void onStatusTimer();

private:
    void startTimer(QTimer& timer, double rate);
    void broadcast(const SerialisableDataPacket& packet, const SimClientSession* except = nullptr);
    void broadcastDatacore(const QString& path);

    SimServerOptions m_options;
    ServerDatacoreTree m_tree;
    SerialisableDataPacketDistributor m_distributor;
    QTcpServer m_listener;
    std::vector<SimClientSession*> m_sessions;
    QTimer m_eventTimer;
    QTimer m_presetTimer;
    QTimer m_measurementTimer;
    QTimer m_statusTimer;
    quint32 m_eventCount = 0;
    quint32 m_presetCount = 0;
    quint32 m_frameCount = 0;
    quint32 m_statusCount = 0;
    int m_connectionCount = 0;
};
