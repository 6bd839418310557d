#pragma once

#include "networkconnection.h"
#include "serialisabledatapacketacceptorinterface.h"
#include "serialisabledatapacketdistributor.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>

class ClientDatacoreRegistry;
class QTcpSocket;
class VqClientDatacoreManager;

// The event-loop side of vq_datacore: one connection to the server (made
// once, never retried), the client mirror of its datacores, the end of the
// initial synchronisation, and the changes of watched datacores passed on as
// signals. It runs no command and decides no exit status.
class DatacoreToolSession : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    explicit DatacoreToolSession(QObject* parent = nullptr);
    ~DatacoreToolSession() override;

    void connectToServer(const QString& host, quint16 port);
    // Closes the connection: every wait on the mirror ends.
    void disconnectFromServer();

    ClientDatacoreRegistry* registry();
    // Readable from any thread; set before the registry deletes its datacores.
    bool isConnectionLost() const { return m_connectionLost; }

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;

signals:
    void connectionFailed(QString reason);
    void connectionLost();
    void mirrorPopulated();
    void synchronised();
    void datacoreChanged(QString path, QStringList data, QStringList validationMessages, bool isActive,
                         qint64 msecsSinceEpoch);
    void watching(int datacores);

public slots:
    // Passes every change of these datacores on through datacoreChanged().
    void watch(QStringList paths);

private slots:
    void onSocketConnected();
    void onSocketError();
    void onDisconnectedFromHost();

private:
    SerialisableDataPacketDistributor m_distributor;
    NetworkConnection m_connection;
    // Made after the loss handler is connected: handlers run in the order they
    // were connected, and the loss must be noted before the registry deletes
    // the datacore a command is waiting for.
    std::unique_ptr<VqClientDatacoreManager> m_datacoreManager;
    QTcpSocket* m_pendingSocket = nullptr;
    std::atomic<bool> m_connectionLost{false};
    bool m_synchronised = false;
};
