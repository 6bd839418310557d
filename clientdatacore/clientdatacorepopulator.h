#pragma once

#include "datacorepacket.h"
#include "serialisabledatapacketacceptorinterface.h"

#include <QObject>

class ClientDatacoreRegistry;
class NetworkConnection;
class SerialisableDataPacketDistributor;

// Takes the server's DatacorePackets off the distributor, finds the client
// datacore of the packet's "Path" and has it apply the packet, telling it
// whether the packet answers this client's own change (its "ClientID" is this
// connection's identifier). Packets for unknown paths are dropped with a log
// line; nothing is queued for a registry that is not yet populated.
class ClientDatacorePopulator : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    ClientDatacorePopulator(NetworkConnection* connection, ClientDatacoreRegistry* registry,
                            SerialisableDataPacketDistributor* distributor, QObject* parent = nullptr);

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;

private:
    Q_INVOKABLE virtual void populateClientDatacoreFromJson(DatacorePacket datacorePacket);

    NetworkConnection* m_connection;
    ClientDatacoreRegistry* m_registry;
};
