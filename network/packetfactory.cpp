#include "packetfactory.h"

#include "serialisabledatapacket.h"

std::shared_ptr<RawDataPacket> createPacket(const QByteArray& frame, const RawDataPacketHeader& header)
{
    switch (header.packetType) {
    case SerialisableDataPacket::PACKET_TYPE:
        return std::make_shared<SerialisableDataPacket>(frame, header);
    default:
        return nullptr;
    }
}
