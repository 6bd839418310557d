#pragma once

#include "rawdatapacket.h"

#include <QVector>

// CEA-608 closed-caption byte pairs; caption commands and text are not
// decoded here. The payload is raw bytes, one 3-byte group
// per pair and no count: first byte, second byte (both as received, parity bit
// included), flags (bit 0 is the pair's flag). A remainder of one or two bytes
// is ignored.
class Captions608bytePairsRawDataPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1026;
    static constexpr int GROUP_SIZE = 3;

    struct BytePair
    {
        quint8 first = 0;
        quint8 second = 0;
        // first and second with the parity bit cleared: the 7-bit characters.
        quint8 firstData = 0;
        quint8 secondData = 0;
        bool flag = false;

        BytePair() = default;
        BytePair(quint8 first, quint8 second, bool flag);
        bool operator==(const BytePair& other) const;
    };

    Captions608bytePairsRawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit Captions608bytePairsRawDataPacket(QVector<BytePair> pairs);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const QVector<BytePair>& pairs() const { return m_pairs; }

    friend bool operator==(const Captions608bytePairsRawDataPacket& a, const Captions608bytePairsRawDataPacket& b)
    {
        return a.m_pairs == b.m_pairs;
    }

private:
    QVector<BytePair> m_pairs;
};
