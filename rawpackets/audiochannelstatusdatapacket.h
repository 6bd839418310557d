#pragma once

#include "rawdatapacket.h"

#include <QVector>

#include <array>
#include <tuple>

// Channel status of the audio channels: per channel whether a status block was
// received, its 24 bytes and whether its CRCC checked. Decoding the status
// bytes into texts is not done here. The fields the layout does not explain
// are named by position.
//
// | field                        | wire                                  |
// |------------------------------|---------------------------------------|
// | field1, field2               | 2 x qint32                            |
// | channel count n              | qint32                                |
// | n channel records (52 bytes) | 13 x qint32, see ChannelRecord        |
// | flag                         | bool                                  |
class AudioChannelStatusDataPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1020;

    struct ChannelRecord
    {
        qint32 statusValid = 0;
        qint32 field2 = 0;
        qint32 field3 = 0;
        qint32 field4 = 0;
        // Bytes 0 to 23; word k holds byte 4k in its most significant eight bits.
        std::array<quint32, 6> channelStatus{};
        // Held as received but always written as 0.
        qint32 field11 = 0;
        qint32 crccError = 0;
        qint32 field13 = 0;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.statusValid, self.field2, self.field3, self.field4, self.channelStatus,
                self.field11, self.crccError, self.field13);
        }
        bool operator==(const ChannelRecord& other) const { return fields(*this) == fields(other); }
    };

    struct Values
    {
        qint32 field1 = 0;
        qint32 field2 = 0;
        QVector<ChannelRecord> channels;
        bool flag = false;

        template <typename Self>
        static auto fields(Self& self) { return std::tie(self.field1, self.field2, self.channels, self.flag); }
        bool operator==(const Values& other) const { return fields(*this) == fields(other); }
    };

    AudioChannelStatusDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit AudioChannelStatusDataPacket(const Values& values);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const Values& values() const { return m_values; }

    friend bool operator==(const AudioChannelStatusDataPacket& a, const AudioChannelStatusDataPacket& b)
    {
        return a.m_values == b.m_values;
    }

private:
    Values m_values;
};
