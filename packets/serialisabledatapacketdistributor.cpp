#include "serialisabledatapacketdistributor.h"

#include "vqlog.h"

SerialisableDataPacketDistributor::SerialisableDataPacketDistributor(QObject* parent)
    : QObject(parent)
    , RawDataPacketReceiverInterface<SerialisableDataPacket>(SerialisableDataPacket::PACKET_TYPE)
{
}

SerialisableDataPacketDistributor::~SerialisableDataPacketDistributor() = default;

void SerialisableDataPacketDistributor::registerPacketAcceptor(SerialisableDataPacketAcceptorInterface* acceptor,
                                                               const QString& className)
{
    if (!acceptor)
        return;
    if (!acceptor->canAcceptPacket(className)) {
        VqLog::info("Could not register packetAcceptor to accept packets of the class {}", className);
        return;
    }
    m_acceptors[className].append(acceptor);
}

void SerialisableDataPacketDistributor::registerPacketAcceptor(SerialisableDataPacketAcceptorInterface* acceptor,
                                                               const std::deque<QString>& classNames)
{
    for (const QString& className : classNames)
        registerPacketAcceptor(acceptor, className);
}

void SerialisableDataPacketDistributor::receiveTypedPacket(std::shared_ptr<SerialisableDataPacket> packet)
{
    if (packet)
        acceptPacket(*packet);
}

bool SerialisableDataPacketDistributor::canAcceptPacket(QString)
{
    return true;
}

void SerialisableDataPacketDistributor::acceptPacket(const SerialisableDataPacket& packet)
{
    const QString name = packet.className();
    const auto found = m_acceptors.constFind(name);
    if (found == m_acceptors.constEnd()) {
        VqLog::info("There are no packet acceptors registered for packets of type {}", name);
        return;
    }
    // A shared copy: an acceptor that registers others while it is called
    // detaches the map's list and leaves this walk as it was.
    const QList<SerialisableDataPacketAcceptorInterface*> acceptors = found.value();
    for (SerialisableDataPacketAcceptorInterface* acceptor : acceptors) {
        if (acceptor)
            acceptor->acceptPacket(packet);
    }
}
