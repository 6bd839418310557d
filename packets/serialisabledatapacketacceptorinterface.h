#pragma once

#include <QString>

class SerialisableDataPacket;

// What an object that takes JSON packets offers the distributor: whether it
// wants a class name (asked once, at registration) and the handling of one
// packet. The packet is shared with other acceptors: an acceptor must not
// change it and copies it to keep it.
class SerialisableDataPacketAcceptorInterface
{
public:
    virtual ~SerialisableDataPacketAcceptorInterface() = default;

    virtual bool canAcceptPacket(QString className) = 0;
    virtual void acceptPacket(const SerialisableDataPacket& packet) = 0;

protected:
    SerialisableDataPacketAcceptorInterface() = default;
    SerialisableDataPacketAcceptorInterface(const SerialisableDataPacketAcceptorInterface&) = default;
    SerialisableDataPacketAcceptorInterface& operator=(const SerialisableDataPacketAcceptorInterface&) = default;
};
