#pragma once

#include "dummyclient.h"
#include "dummyclientdatacoreconnectionbuilder.h"
#include "dummypresetpacketdump.h"
#include "vqclientcoreapplicationbase.h"
#include "vqclientsequencepackagedlogpackethandler.h"

// The application of the dummy client: the core application plus this
// client's own behaviour, the DummyClient wired to its datacores by the
// connection builder on every population of the registry, the preset dump and
// a second event-log handler.
class VqDummyClientApplicationBase : public VqClientCoreApplicationBase
{
    Q_OBJECT

public:
    VqDummyClientApplicationBase(int& argc, char** argv);
    ~VqDummyClientApplicationBase() override;

    Q_INVOKABLE void initialise() override;

    DummyClientDatacoreConnectionBuilder* connectionBuilder() { return &m_connectionBuilder; }
    VqClientSequencePackagedLogPacketHandler* extraLogPacketHandler() { return &m_extraLogPacketHandler; }
    DummyClient* dummyClient() { return &m_dummyClient; }

private:
    DummyClientDatacoreConnectionBuilder m_connectionBuilder;
    VqClientSequencePackagedLogPacketHandler m_extraLogPacketHandler;
    DummyClient m_dummyClient;
    DummyPresetPacketDump m_presetPacketDump;
};
