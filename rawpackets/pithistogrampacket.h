#pragma once

#include "rawdatapacket.h"

#include <array>
#include <tuple>

// Packet interval timing (PIT) histogram of one IP media flow: 64 bins and the
// flow's addresses among words the sender defines; statistics over the bins are
// not computed here. The fields are named by position where their meaning is
// the sender's. The leaf classes below differ
// in type id and sub-type only. Payload, 331 bytes:
//
// | field                 | wire                                           |
// |-----------------------|------------------------------------------------|
// | field1, field2        | 2 x qint32                                     |
// | field3                | qint64                                         |
// | field4                | 4 x qint32                                     |
// | flags                 | 2 x bool                                       |
// | bins                  | 64 x qint32, no count                          |
// | field5                | qint32                                         |
// | address1, address2    | each bool (true: no address) + qint32 IPv4     |
// | field6                | 3 x qint32                                     |
// | address3              | bool + qint32                                  |
// | field7                | 2 x qint32                                     |
// | field8                | qint16                                         |
class PitHistogramPacket : public RawDataPacket
{
public:
    static constexpr int BIN_COUNT = 64;

    struct Address
    {
        bool isNull = true;
        quint32 ipv4 = 0;

        template <typename Self>
        static auto fields(Self& self) { return std::tie(self.isNull, self.ipv4); }
        bool operator==(const Address& other) const { return fields(*this) == fields(other); }
    };

    struct Values
    {
        qint32 field1 = 0;
        qint32 field2 = 0;
        qint64 field3 = 0;
        std::array<qint32, 4> field4{};
        std::array<bool, 2> flags{};
        std::array<qint32, BIN_COUNT> bins{};
        qint32 field5 = 0;
        Address address1;
        Address address2;
        std::array<qint32, 3> field6{};
        Address address3;
        std::array<qint32, 2> field7{};
        qint16 field8 = 0;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.field1, self.field2, self.field3, self.field4, self.flags, self.bins, self.field5,
                self.address1, self.address2, self.field6, self.address3, self.field7, self.field8);
        }
        bool operator==(const Values& other) const { return fields(*this) == fields(other); }
    };

    // Public because the leaves inherit them, with their access.
    PitHistogramPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit PitHistogramPacket(const Values& values);

    QByteArray payloadBytes() const override;

    const Values& values() const { return m_values; }

    friend bool operator==(const PitHistogramPacket& a, const PitHistogramPacket& b)
    {
        return a.m_values == b.m_values;
    }

private:
    Values m_values;
};

class VideoPitHistogramPacket final : public PitHistogramPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x101C;
    static constexpr quint16 SUB_TYPE = 0;
    using PitHistogramPacket::PitHistogramPacket;
    quint16 packetType() const override { return TYPE_ID; }
    quint16 packetSubType() const override { return SUB_TYPE; }
};

class AudioPitHistogramPacket final : public PitHistogramPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x101D;
    static constexpr quint16 SUB_TYPE = 1;
    using PitHistogramPacket::PitHistogramPacket;
    quint16 packetType() const override { return TYPE_ID; }
    quint16 packetSubType() const override { return SUB_TYPE; }
};

class AncPitHistogramPacket final : public PitHistogramPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x101E;
    static constexpr quint16 SUB_TYPE = 3;
    using PitHistogramPacket::PitHistogramPacket;
    quint16 packetType() const override { return TYPE_ID; }
    quint16 packetSubType() const override { return SUB_TYPE; }
};
