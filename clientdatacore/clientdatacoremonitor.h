#pragma once

#include <QObject>

class ClientDatacore;
class NetworkConnection;

// Sends each local change of a client datacore to the server at once, as a
// data-only DatacorePacket carrying this client's identifier and the change's
// packet identifier. Changes that came from the server are never sent back.
// It neither queues nor retries: a change made while the connection is down is lost.
class ClientDatacoreMonitor : public QObject
{
    Q_OBJECT

public:
    explicit ClientDatacoreMonitor(NetworkConnection* connection, QObject* parent = nullptr);

public slots:
    void onClientDatacoreUpdated(int packetIdentifier, ClientDatacore* datacore);

private:
    NetworkConnection* m_connection;
};
