#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QTcpServer>

#include <memory>
#include <vector>

class QTcpSocket;
class SerialisableDataPacket;

// A control server for tests that runs in the test's own process. It writes
// and cuts frames itself over plain sockets, without the process-wide
// receiver registry, so a client mirror in the same process meets only what
// this server sends. Every connection is served the path tree, one
// DatacorePacket per datacore and the sync-complete packet; each change a
// client sends is stored and answered with its "ClientID" and "PacketID", and
// passed on to the other clients without them.
//
// It misbehaves on cue: failNextConnection() makes the next connection fail
// at one step of the exchange, by closing, by resetting (RST), or by no longer
// reading from the client or answering it. Such a connection is served
// 200 ms after it was accepted rather than at once.
class FakeServer : public QObject
{
    Q_OBJECT

public:
    enum class Fault { Close, Reset, StopReading };
    enum class Step {
        BeforeTree,  // before anything is sent
        MidTree,     // after half of the path tree frame
        AfterTree,   // after the tree and every datacore, before sync-complete
        AfterSync,   // right after sync-complete
        OnChange,    // when a change arrives, instead of answering it
        InSet,       // a second after a change arrived, not answered meanwhile
    };

    explicit FakeServer(QObject* parent = nullptr);
    ~FakeServer() override;

    // On 127.0.0.1; port 0 picks a free one.
    bool listen(quint16 port = 0) { return m_listener.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return m_listener.serverPort(); }

    // A datacore served from the next synchronisation on; data is a string,
    // an array of strings or null. The four routers always exist.
    void setDatacore(const QString& path, const QJsonValue& data, const QJsonArray& reasonsForBeingInvalid = {},
                     const QJsonArray& reasonsForBeingInactive = {});
    QJsonValue data(const QString& path) const { return m_datacores.value(path).value("data"); }

    void failNextConnection(Fault fault, Step step) { m_nextFault = {true, fault, step}; }
    // When false, changes are still received but neither stored nor answered.
    bool answersChanges = true;
    int faultCount() const { return m_faultCount; }
    int connectionCount() const { return m_connectionCount; }
    // Every JSON packet received from clients, in order.
    const QList<QJsonObject>& received() const { return m_received; }

    void sendToAll(const SerialisableDataPacket& packet);
    // Closes every connection at once.
    void closeAll();

signals:
    void faulted();

private:
    // Armed until it has happened.
    struct PlannedFault
    {
        bool armed;
        Fault kind;
        Step step;
    };
    struct Session;

    void onNewConnection();
    void synchronise(Session& session);
    void onReadyRead(Session& session);
    void onChange(Session& session, const QJsonObject& packet);
    void fail(Session& session);
    bool reachedFaultStep(Session& session, Step step);
    void write(Session& session, const QByteArray& bytes);
    void forget(Session* session);
    QJsonObject datacoreJson(const QString& path) const;
    QJsonObject treePacket() const;

    QTcpServer m_listener;
    // Each datacore's element as the server sends it.
    QMap<QString, QJsonObject> m_datacores;
    std::vector<std::unique_ptr<Session>> m_sessions;
    QList<QJsonObject> m_received;
    PlannedFault m_nextFault{false, Fault::Close, Step::BeforeTree};
    int m_faultCount = 0;
    int m_connectionCount = 0;
};
