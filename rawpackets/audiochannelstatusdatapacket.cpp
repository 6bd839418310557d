#include "audiochannelstatusdatapacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

AudioChannelStatusDataPacket::AudioChannelStatusDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
    , m_values(PayloadReader::decode<Values>(*this))
{
}

AudioChannelStatusDataPacket::AudioChannelStatusDataPacket(const Values& values)
    : m_values(values)
{
}

QByteArray AudioChannelStatusDataPacket::payloadBytes() const
{
    Values written = m_values;
    for (ChannelRecord& channel : written.channels)
        channel.field11 = 0;
    return PayloadWriter::serialise(written);
}
