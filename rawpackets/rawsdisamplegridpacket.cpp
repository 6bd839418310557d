#include "rawsdisamplegridpacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

static_assert(Wire::MinimumSize<RawSdiSampleGridPacket::Row>::value == RawSdiSampleGridPacket::ROW_RECORD_SIZE + 8,
    "a row is its record and two run counts");

RawSdiSampleGridPacket::RawSdiSampleGridPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
{
    PayloadReader reader(payload(), header.packetType);
    reader.read(m_rows);
}

RawSdiSampleGridPacket::RawSdiSampleGridPacket(QVector<Row> rows)
    : m_rows(std::move(rows))
{
}

QByteArray RawSdiSampleGridPacket::payloadBytes() const
{
    PayloadWriter writer(Wire::sizeOf(m_rows));
    writer.write(m_rows);
    return writer.bytes();
}
