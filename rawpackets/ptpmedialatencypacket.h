#pragma once

#include "rawdatapacket.h"

#include <array>
#include <tuple>

// Latency of received media against PTP time, as measured by the hardware;
// nothing is computed here. The fields are named by position; their meaning is
// the sender's. Payload, 156 bytes:
//
// | field            | wire            |
// |------------------|-----------------|
// | field1           | qint64          |
// | field2           | 6 x qint32      |
// | field3           | qint64          |
// | field4           | qint16          |
// | field5, field6   | 2 x signed char |
// | field7, field8   | 2 x qint64      |
// | field9, field10  | 2 x qint32      |
// | field11          | qint64          |
// | field12, field13 | 2 x qint32      |
// | field14          | qint64          |
// | field15          | 16 x qint32     |
class PtpMediaLatencyPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1025;

    struct Values
    {
        qint64 field1 = 0;
        std::array<qint32, 6> field2{};
        qint64 field3 = 0;
        qint16 field4 = 0;
        qint8 field5 = 0;
        qint8 field6 = 0;
        qint64 field7 = 0;
        qint64 field8 = 0;
        qint32 field9 = 0;
        qint32 field10 = 0;
        qint64 field11 = 0;
        qint32 field12 = 0;
        qint32 field13 = 0;
        qint64 field14 = 0;
        std::array<qint32, 16> field15{};

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.field1, self.field2, self.field3, self.field4, self.field5, self.field6,
                self.field7, self.field8, self.field9, self.field10, self.field11, self.field12, self.field13,
                self.field14, self.field15);
        }
        bool operator==(const Values& other) const { return fields(*this) == fields(other); }
    };

    PtpMediaLatencyPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit PtpMediaLatencyPacket(const Values& values);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const Values& values() const { return m_values; }

    friend bool operator==(const PtpMediaLatencyPacket& a, const PtpMediaLatencyPacket& b)
    {
        return a.m_values == b.m_values;
    }

private:
    Values m_values;
};
