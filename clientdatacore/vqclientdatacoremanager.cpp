#include "vqclientdatacoremanager.h"

#include "datacorepathradixtreepacket.h"
#include "serialisabledatapacketdistributor.h"

VqClientDatacoreManager::VqClientDatacoreManager(NetworkConnection* connection,
                                                 SerialisableDataPacketDistributor* distributor, QObject* parent)
    : QObject(parent)
    , m_registry(connection, this)
    , m_populator(connection, &m_registry, distributor, this)
    , m_monitor(connection, this)
{
    distributor->registerPacketAcceptor(this, DatacorePathRadixTreePacket::CLASS_NAME);
}

VqClientDatacoreManager::~VqClientDatacoreManager() = default;

bool VqClientDatacoreManager::canAcceptPacket(QString className)
{
    return className == DatacorePathRadixTreePacket::CLASS_NAME;
}

void VqClientDatacoreManager::acceptPacket(const SerialisableDataPacket& packet)
{
    if (packet.className() != DatacorePathRadixTreePacket::CLASS_NAME || !m_registry.isEmpty())
        return;

    DatacorePathRadixTreePacket tree(DatacorePathRadixTreePacket::CLASS_NAME);
    tree.jsonObject() = packet.jsonObject();

    m_registry.createDatacores(tree.paths(), &m_monitor);
}

QStringList VqClientDatacoreManager::flattenPathTree(const DatacorePathRadixTreeNode& node) const
{
    return ::flattenPathTree(node);
}
