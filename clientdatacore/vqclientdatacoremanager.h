#pragma once

#include "clientdatacoremonitor.h"
#include "clientdatacorepopulator.h"
#include "clientdatacoreregistry.h"
#include "serialisabledatapacketacceptorinterface.h"

#include <QObject>
#include <QStringList>

class NetworkConnection;
class SerialisableDataPacketDistributor;
struct DatacorePathRadixTreeNode;

// What an application creates to get a client-side mirror of the server's
// datacores: the registry, the populator and the monitor, and the handling of
// the server's path tree, which fills the registry once per connection. Trees
// that arrive while the registry is populated are ignored.
class VqClientDatacoreManager : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    VqClientDatacoreManager(NetworkConnection* connection, SerialisableDataPacketDistributor* distributor,
                            QObject* parent = nullptr);
    ~VqClientDatacoreManager() override;

    ClientDatacoreRegistry* registry() { return &m_registry; }

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;

private:
    QStringList flattenPathTree(const DatacorePathRadixTreeNode& node) const;

    ClientDatacoreRegistry m_registry;
    ClientDatacorePopulator m_populator;
    ClientDatacoreMonitor m_monitor;
};
