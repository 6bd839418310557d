#pragma once

#include "mappedprogramarguments.h"
#include "serialisabledatapacketdistributor.h"
#include "vqclientdatacoremanager.h"
#include "vqclientnetworkmanager.h"
#include "vqclientsequencepackagedlogpackethandler.h"

#include <QCoreApplication>

// The application base of every client of the control server: a
// QCoreApplication whose event dispatch absorbs exceptions derived from
// std::exception, owning the objects any client needs. initialise() is called
// once before the event loop starts.
class VqClientCoreApplicationBase : public QCoreApplication
{
    Q_OBJECT

public:
    VqClientCoreApplicationBase(int& argc, char** argv);
    ~VqClientCoreApplicationBase() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Points the connection manager at the local server with automatic reconnection.
    Q_INVOKABLE virtual void initialise();

    SerialisableDataPacketDistributor* distributor() { return &m_distributor; }
    VqClientNetworkManager* networkManager() { return &m_networkManager; }
    VqClientDatacoreManager* datacoreManager() { return &m_datacoreManager; }
    VqClientSequencePackagedLogPacketHandler* logPacketHandler() { return &m_logPacketHandler; }

protected:
    MappedProgramArguments m_arguments;
    SerialisableDataPacketDistributor m_distributor;
    VqClientNetworkManager m_networkManager;
    VqClientDatacoreManager m_datacoreManager;
    VqClientSequencePackagedLogPacketHandler m_logPacketHandler;
};
