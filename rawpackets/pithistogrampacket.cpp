#include "pithistogrampacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

PitHistogramPacket::PitHistogramPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
    , m_values(PayloadReader::decode<Values>(*this))
{
}

PitHistogramPacket::PitHistogramPacket(const Values& values)
    : m_values(values)
{
}

QByteArray PitHistogramPacket::payloadBytes() const
{
    return PayloadWriter::serialise(m_values);
}
