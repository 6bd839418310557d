#pragma once

#include "rawdatapacket.h"
#include "serialisabledatapacket.h"
#include "serialisabledatapacketacceptorinterface.h"

#include <QList>
#include <QMap>
#include <QObject>

#include <deque>

// Receives every JSON frame of the process (receiver key 0x1010) and hands
// each packet, synchronously and in registration order, to the acceptors
// registered for its "Class". It owns the lists, not the acceptors, and has no
// way to unregister one: acceptors live as long as the distributor.
class SerialisableDataPacketDistributor : public QObject,
                                          public SerialisableDataPacketAcceptorInterface,
                                          public RawDataPacketReceiverInterface<SerialisableDataPacket>
{
    Q_OBJECT

public:
    explicit SerialisableDataPacketDistributor(QObject* parent = nullptr);
    ~SerialisableDataPacketDistributor() override;

    void registerPacketAcceptor(SerialisableDataPacketAcceptorInterface* acceptor, const QString& className);
    void registerPacketAcceptor(SerialisableDataPacketAcceptorInterface* acceptor, const std::deque<QString>& classNames);

    void receiveTypedPacket(std::shared_ptr<SerialisableDataPacket> packet) override;
    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;

private:
    QMap<QString, QList<SerialisableDataPacketAcceptorInterface*>> m_acceptors;
};
