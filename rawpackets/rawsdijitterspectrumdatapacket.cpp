#include "rawsdijitterspectrumdatapacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

RawSdiJitterSpectrumDataPacket::RawSdiJitterSpectrumDataPacket(
    const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
    , m_values(PayloadReader::decode<Values>(*this))
{
}

RawSdiJitterSpectrumDataPacket::RawSdiJitterSpectrumDataPacket(const Values& values)
    : m_values(values)
{
}

QByteArray RawSdiJitterSpectrumDataPacket::payloadBytes() const
{
    return PayloadWriter::serialise(m_values);
}
