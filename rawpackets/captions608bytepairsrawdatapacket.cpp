#include "captions608bytepairsrawdatapacket.h"

#include "payloadreader.h"

namespace {
constexpr quint8 PARITY_BIT = 0x80;
constexpr quint8 FLAG_BIT = 0x01;
} // namespace

Captions608bytePairsRawDataPacket::BytePair::BytePair(quint8 first, quint8 second, bool flag)
    : first(first)
    , second(second)
    , firstData(first & quint8(~PARITY_BIT))
    , secondData(second & quint8(~PARITY_BIT))
    , flag(flag)
{
}

bool Captions608bytePairsRawDataPacket::BytePair::operator==(const BytePair& other) const
{
    return first == other.first && second == other.second && firstData == other.firstData
        && secondData == other.secondData && flag == other.flag;
}

Captions608bytePairsRawDataPacket::Captions608bytePairsRawDataPacket(
    const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
{
    PayloadReader reader(payload(), header.packetType);
    m_pairs.reserve(payload().size() / GROUP_SIZE);
    // The layout has no count: a remainder after the last whole group is
    // ignored, not reported as a field cut short.
    while (reader.remaining() >= GROUP_SIZE) {
        quint8 first = 0;
        quint8 second = 0;
        quint8 flags = 0;
        reader.read(first);
        reader.read(second);
        reader.read(flags);
        m_pairs.append(BytePair(first, second, (flags & FLAG_BIT) != 0));
    }
}

Captions608bytePairsRawDataPacket::Captions608bytePairsRawDataPacket(QVector<BytePair> pairs)
    : m_pairs(std::move(pairs))
{
}

QByteArray Captions608bytePairsRawDataPacket::payloadBytes() const
{
    QByteArray bytes;
    bytes.reserve(m_pairs.size() * GROUP_SIZE);
    for (const BytePair& pair : m_pairs) {
        bytes.append(char(pair.first));
        bytes.append(char(pair.second));
        bytes.append(char(pair.flag ? FLAG_BIT : 0));
    }
    return bytes;
}
