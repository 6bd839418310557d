#include "teletextrawdatapacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

namespace {
constexpr quint8 SECOND_FIELD_BIT = 0x01;
} // namespace

TeletextRawDataPacket::TeletextRawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
{
    PayloadReader reader(payload(), header.packetType);
    quint8 count = 0;
    reader.read(count);
    const PayloadReader::ListHeader list = reader.boundList(count, 0, LINE_SIZE);
    m_lines.reserve(list.bounded);
    for (int i = 0; i < list.bounded; ++i) {
        Line line;
        quint8 flags = 0;
        reader.read(line.lineNumber);
        reader.read(flags);
        reader.read(line.packet);
        line.secondField = (flags & SECOND_FIELD_BIT) != 0;
        m_lines.append(line);
    }
    reader.endList(list, m_lines.size());
}

TeletextRawDataPacket::TeletextRawDataPacket(QVector<Line> lines)
    : m_lines(std::move(lines))
{
}

QByteArray TeletextRawDataPacket::payloadBytes() const
{
    const int count = qMin(m_lines.size(), MAX_LINES);
    PayloadWriter writer(1 + count * LINE_SIZE);
    writer.write(quint8(count));
    for (int i = 0; i < count; ++i) {
        const Line& line = m_lines.at(i);
        writer.write(line.lineNumber);
        writer.write(quint8(line.secondField ? SECOND_FIELD_BIT : 0));
        writer.write(line.packet);
    }
    return writer.bytes();
}
