#include "vqdummyclientapplicationbase.h"

#include "sequencepackagedlogpacket.h"

VqDummyClientApplicationBase::VqDummyClientApplicationBase(int& argc, char** argv)
    : VqClientCoreApplicationBase(argc, argv)
    , m_connectionBuilder(m_datacoreManager.registry(), this)
    , m_extraLogPacketHandler(this)
    , m_dummyClient(&m_distributor, this)
    , m_presetPacketDump(&m_distributor, this)
{
    m_distributor.registerPacketAcceptor(&m_extraLogPacketHandler, SequencePackagedLogPacket::CLASS_NAME);
}

VqDummyClientApplicationBase::~VqDummyClientApplicationBase() = default;

void VqDummyClientApplicationBase::initialise()
{
    connect(&m_connectionBuilder, &DatacoreConnectionBuilderBase::connectionToDatacoresGained, &m_connectionBuilder,
            [this] { m_connectionBuilder.connectDummyClient(&m_dummyClient); }, Qt::DirectConnection);
    VqClientCoreApplicationBase::initialise();
}
