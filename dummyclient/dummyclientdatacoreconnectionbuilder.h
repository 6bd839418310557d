#pragma once

#include "datacoreconnectionbuilderbase.h"

class DummyClient;

// The dummy client's builder: finds the command executor, the IGMP maximum
// version of Ethernet port 0 and the unit serial number each time the registry
// is populated, and wires them to the DummyClient. A datacore the server does
// not have leaves that function unconnected.
class DummyClientDatacoreConnectionBuilder : public DatacoreConnectionBuilderBase
{
public:
    explicit DummyClientDatacoreConnectionBuilder(ClientDatacoreRegistry* registry, QObject* parent = nullptr);

    void connectDummyClient(DummyClient* client);

protected:
    void buildConnections() override;

private:
    // Set by buildConnections(), null again once the registry is cleared.
    ClientDatacore* m_executorCommander = nullptr;
    ClientDatacore* m_igmpMaxVersionDatacore = nullptr;
    ClientDatacore* m_serialNumberDatacore = nullptr;
};
