#include "packetfactory.h"

#include "measurementpacketfactory.h"
#include "serialisabledatapacket.h"

std::shared_ptr<RawDataPacket> createPacket(const QByteArray& frame, const RawDataPacketHeader& header)
{
    if (header.packetType == SerialisableDataPacket::PACKET_TYPE)
        return std::make_shared<SerialisableDataPacket>(frame, header);
    return createMeasurementPacket(frame, header);
}
