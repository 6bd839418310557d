#pragma once

#include "rawdatapacket.h"

#include <array>
#include <tuple>

// An SCTE-104 message found in the ancillary data of a video input, carried as
// the sender's words; parsing the message is not done here. The fields are
// named by position; their meaning is the sender's. Payload, 40 bytes:
//
// | field  | wire        |
// |--------|-------------|
// | field1 | 11 x qint16 |
// | field2 | qint32      |
// | field3 | 7 x qint16  |
class SCTE104RawDataPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1028;

    struct Values
    {
        std::array<qint16, 11> field1{};
        qint32 field2 = 0;
        std::array<qint16, 7> field3{};

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.field1, self.field2, self.field3);
        }
        bool operator==(const Values& other) const { return fields(*this) == fields(other); }
    };

    SCTE104RawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit SCTE104RawDataPacket(const Values& values);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const Values& values() const { return m_values; }

    friend bool operator==(const SCTE104RawDataPacket& a, const SCTE104RawDataPacket& b)
    {
        return a.m_values == b.m_values;
    }

private:
    Values m_values;
};
