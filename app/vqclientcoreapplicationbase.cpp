#include "vqclientcoreapplicationbase.h"

#include "sequencepackagedlogpacket.h"

#include <QHostAddress>

#include <exception>

VqClientCoreApplicationBase::VqClientCoreApplicationBase(int& argc, char** argv)
    : QCoreApplication(argc, argv)
    , m_arguments(this, true)
    , m_distributor(this)
    , m_networkManager(this)
    , m_datacoreManager(m_networkManager.connection(), &m_distributor, this)
    , m_logPacketHandler(this)
{
    m_distributor.registerPacketAcceptor(&m_logPacketHandler, SequencePackagedLogPacket::CLASS_NAME);
}

VqClientCoreApplicationBase::~VqClientCoreApplicationBase() = default;

bool VqClientCoreApplicationBase::notify(QObject* receiver, QEvent* event)
{
    try {
        return QCoreApplication::notify(receiver, event);
    } catch (const std::exception&) {
        // The event counts as not handled; the loop goes on.
        return false;
    }
}

void VqClientCoreApplicationBase::initialise()
{
    m_networkManager.setHostAddress(QHostAddress(QHostAddress::LocalHost), true);
}
