#pragma once

#include "rawdatapacket.h"

#include <array>
#include <tuple>

// Traffic-shaping (ST 2110-21) measurements of one video flow; judging them
// against a sender type is not done here. The fields are named by position;
// their meaning is the sender's. Payload, 64 bytes:
//
// | field  | wire       |
// |--------|------------|
// | field1 | 6 x qint32 |
// | field2 | 4 x double |
// | field3 | 2 x qint16 |
// | field4 | qint32     |
class VideoIp2110_21DataPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1024;

    struct Values
    {
        std::array<qint32, 6> field1{};
        std::array<double, 4> field2{};
        std::array<qint16, 2> field3{};
        qint32 field4 = 0;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.field1, self.field2, self.field3, self.field4);
        }
        bool operator==(const Values& other) const { return fields(*this) == fields(other); }
    };

    VideoIp2110_21DataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit VideoIp2110_21DataPacket(const Values& values);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const Values& values() const { return m_values; }

    friend bool operator==(const VideoIp2110_21DataPacket& a, const VideoIp2110_21DataPacket& b)
    {
        return a.m_values == b.m_values;
    }

private:
    Values m_values;
};
