#include "aespresencedatapacket.h"

#include "payloadwriter.h"

AesPresenceDataPacket::AesPresenceDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : AudioMetersDataPacket(frame, header)
{
}

AesPresenceDataPacket::AesPresenceDataPacket(qint32 a, qint32 b, qint32 c)
    : AudioMetersDataPacket(a, b, c)
{
}

QByteArray AesPresenceDataPacket::payloadBytes() const
{
    PayloadWriter writer(HEADER_SIZE);
    writeHeaderWords(writer);
    return writer.bytes();
}
