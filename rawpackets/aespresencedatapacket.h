#pragma once

#include "audiometersdatapacket.h"

// Presence of AES audio on the inputs, carried in the three header words alone;
// which bit stands for which input is the sender's.
class AesPresenceDataPacket final : public AudioMetersDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1021;

    AesPresenceDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    AesPresenceDataPacket(qint32 a, qint32 b, qint32 c);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    friend bool operator==(const AesPresenceDataPacket& a, const AesPresenceDataPacket& b)
    {
        return a.headerWords() == b.headerWords();
    }
};
