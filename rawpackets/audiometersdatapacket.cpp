#include "audiometersdatapacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

AudioMetersDataPacket::AudioMetersDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
{
    PayloadReader reader(payload(), header.packetType);
    reader.read(m_headerWords);
}

AudioMetersDataPacket::AudioMetersDataPacket(qint32 a, qint32 b, qint32 c)
{
    m_headerWords.word1 = c;
    m_headerWords.word2 = a;
    m_headerWords.word3 = b;
}

void AudioMetersDataPacket::writeHeaderWords(PayloadWriter& writer) const
{
    writer.write(m_headerWords);
}
