#include "videoip2110_21datapacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

VideoIp2110_21DataPacket::VideoIp2110_21DataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
    , m_values(PayloadReader::decode<Values>(*this))
{
}

VideoIp2110_21DataPacket::VideoIp2110_21DataPacket(const Values& values)
    : m_values(values)
{
}

QByteArray VideoIp2110_21DataPacket::payloadBytes() const
{
    return PayloadWriter::serialise(m_values);
}
