#pragma once

#include "rawdatapacket.h"

#include <QVector>

#include <array>
#include <tuple>

// Teletext packets found in the vertical blanking or ancillary data of a video
// input, one per line, as received. Decoding the pages is not done here. The
// payload is raw bytes, big-endian:
//
// | offset    | size | field                                                |
// |-----------|------|------------------------------------------------------|
// | 0         | 1    | line count n (0 to 255)                              |
// | 1 + 45 k  | 2    | line number of line k                                |
// | 3 + 45 k  | 1    | flags: bit 0 set for the second field, others 0      |
// | 4 + 45 k  | 42   | the teletext packet: two address bytes, 40 data bytes |
class TeletextRawDataPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1022;
    static constexpr int PACKET_SIZE = 42;
    static constexpr int LINE_SIZE = 3 + PACKET_SIZE;
    static constexpr int MAX_LINES = 255;

    struct Line
    {
        quint16 lineNumber = 0;
        bool secondField = false;
        std::array<quint8, PACKET_SIZE> packet{};

        bool operator==(const Line& other) const
        {
            return std::tie(lineNumber, secondField, packet)
                == std::tie(other.lineNumber, other.secondField, other.packet);
        }
    };

    TeletextRawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    // Only the first MAX_LINES lines are written.
    explicit TeletextRawDataPacket(QVector<Line> lines);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const QVector<Line>& lines() const { return m_lines; }

    friend bool operator==(const TeletextRawDataPacket& a, const TeletextRawDataPacket& b)
    {
        return a.m_lines == b.m_lines;
    }

private:
    QVector<Line> m_lines;
};
