#include "loudnessenginerawdatapacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

LoudnessEngineRawDataPacket::LoudnessEngineRawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
    , m_values(PayloadReader::decode<Values>(*this))
{
}

LoudnessEngineRawDataPacket::LoudnessEngineRawDataPacket(const Values& values)
    : m_values(values)
{
}

QByteArray LoudnessEngineRawDataPacket::payloadBytes() const
{
    return PayloadWriter::serialise(m_values);
}
