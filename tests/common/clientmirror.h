#pragma once

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"
#include "vqclientdatacoremanager.h"

#include <QHostAddress>

// The client's mirror as the programs put it together, for tests that link
// the client datacore library.
struct ClientMirror
{
    bool connect(quint16 port) { return connection.connectToHost(QHostAddress(QHostAddress::LocalHost), port); }
    ClientDatacoreRegistry* registry() { return manager.registry(); }
    ClientDatacore* datacore(const QString& path) { return registry()->lookupDatacore(path); }

    NetworkConnection connection;
    SerialisableDataPacketDistributor distributor;
    VqClientDatacoreManager manager{&connection, &distributor};
};
