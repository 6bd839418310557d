#include "ptpmedialatencypacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

PtpMediaLatencyPacket::PtpMediaLatencyPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
    , m_values(PayloadReader::decode<Values>(*this))
{
}

PtpMediaLatencyPacket::PtpMediaLatencyPacket(const Values& values)
    : m_values(values)
{
}

QByteArray PtpMediaLatencyPacket::payloadBytes() const
{
    return PayloadWriter::serialise(m_values);
}
