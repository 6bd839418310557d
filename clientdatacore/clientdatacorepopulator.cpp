#include "clientdatacorepopulator.h"

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"
#include "vqlog.h"

ClientDatacorePopulator::ClientDatacorePopulator(NetworkConnection* connection, ClientDatacoreRegistry* registry,
                                                 SerialisableDataPacketDistributor* distributor, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_registry(registry)
{
    distributor->registerPacketAcceptor(this, DatacorePacket::CLASS_NAME);
}

bool ClientDatacorePopulator::canAcceptPacket(QString className)
{
    return className == DatacorePacket::CLASS_NAME;
}

void ClientDatacorePopulator::acceptPacket(const SerialisableDataPacket& packet)
{
    if (!canAcceptPacket(packet.className()))
        return;
    populateClientDatacoreFromJson(DatacorePacket(packet));
}

void ClientDatacorePopulator::populateClientDatacoreFromJson(DatacorePacket datacorePacket)
{
    const QString path = datacorePacket.path();
    ClientDatacore* datacore = m_registry->lookupDatacore(path);
    if (!datacore) {
        if (m_registry->isEmpty())
            VqLog::info("Client datacore populator: Registry is empty, no way to populate: {}", path);
        else
            VqLog::info("Client datacore populator: Registry does not contain datacore with path: {}", path);
        return;
    }
    const bool answersOwnUpdate =
        datacorePacket.hasClientId() && datacorePacket.clientId() == m_connection->clientIdentifier();
    datacore->applyDatacorePacket(datacorePacket, answersOwnUpdate);
}
