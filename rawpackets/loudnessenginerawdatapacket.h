#pragma once

#include "rawdatapacket.h"

#include <array>
#include <tuple>

// One result of the loudness engine; computing or gating loudness is not done
// here. The fields are named by position; their meaning is the sender's.
// Payload, 32 bytes:
//
// | field  | wire        |
// |--------|-------------|
// | field1 | qint64      |
// | field2 | qint64      |
// | field3 | 4 x qint16  |
// | flags  | 5 x bool    |
// | field4 | signed char |
// | field5 | qint16      |
class LoudnessEngineRawDataPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1029;

    struct Values
    {
        qint64 field1 = 0;
        qint64 field2 = 0;
        std::array<qint16, 4> field3{};
        std::array<bool, 5> flags{};
        qint8 field4 = 0;
        qint16 field5 = 0;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.field1, self.field2, self.field3, self.flags, self.field4, self.field5);
        }
        bool operator==(const Values& other) const { return fields(*this) == fields(other); }
    };

    LoudnessEngineRawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit LoudnessEngineRawDataPacket(const Values& values);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const Values& values() const { return m_values; }

    friend bool operator==(const LoudnessEngineRawDataPacket& a, const LoudnessEngineRawDataPacket& b)
    {
        return a.m_values == b.m_values;
    }

private:
    Values m_values;
};
