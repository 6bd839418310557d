#include "st337dolbydetectdata.h"

#include "payloadreader.h"
#include "payloadwriter.h"

ST337DolbyDetectData::ST337DolbyDetectData(const QByteArray& frame, const RawDataPacketHeader& header)
    : AudioMetersDataPacket(frame, header)
{
    PayloadReader reader(payload(), header.packetType, HEADER_SIZE);
    reader.read(m_detections);
    reader.read(m_groups);
}

ST337DolbyDetectData::ST337DolbyDetectData(
    QVector<Detection> detections, QVector<Group> groups, qint32 a, qint32 b, qint32 c)
    : AudioMetersDataPacket(a, b, c)
    , m_detections(std::move(detections))
    , m_groups(std::move(groups))
{
}

QByteArray ST337DolbyDetectData::payloadBytes() const
{
    PayloadWriter writer(HEADER_SIZE + Wire::sizeOf(m_detections) + Wire::sizeOf(m_groups));
    writeHeaderWords(writer);
    writer.write(m_detections);
    writer.write(m_groups);
    return writer.bytes();
}
