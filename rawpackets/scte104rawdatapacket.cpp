#include "scte104rawdatapacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

SCTE104RawDataPacket::SCTE104RawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
    , m_values(PayloadReader::decode<Values>(*this))
{
}

SCTE104RawDataPacket::SCTE104RawDataPacket(const Values& values)
    : m_values(values)
{
}

QByteArray SCTE104RawDataPacket::payloadBytes() const
{
    return PayloadWriter::serialise(m_values);
}
