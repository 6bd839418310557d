#pragma once

#include "rawdatapacket.h"

#include <tuple>

// Offset of the studio reference against PTP time, as measured by the
// hardware; nothing is computed here. The fields are named by position; their
// meaning is the sender's. Payload, 16 bytes:
//
// | field  | wire   |
// |--------|--------|
// | field1 | qint64 |
// | field2 | qint32 |
// | field3 | qint32 |
class RefVsPtpPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1027;

    struct Values
    {
        qint64 field1 = 0;
        qint32 field2 = 0;
        qint32 field3 = 0;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.field1, self.field2, self.field3);
        }
        bool operator==(const Values& other) const { return fields(*this) == fields(other); }
    };

    RefVsPtpPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit RefVsPtpPacket(const Values& values);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const Values& values() const { return m_values; }

    friend bool operator==(const RefVsPtpPacket& a, const RefVsPtpPacket& b)
    {
        return a.m_values == b.m_values;
    }

private:
    Values m_values;
};
