#include "metersdata.h"

#include "payloadreader.h"
#include "payloadwriter.h"

template <typename T>
MetersData<T>::MetersData(const QByteArray& frame, const RawDataPacketHeader& header)
    : AudioMetersDataPacket(frame, header)
{
    PayloadReader reader(payload(), header.packetType, HEADER_SIZE);
    const PayloadReader::ListHeader list = reader.beginList(READING_SIZE);
    m_readings.reserve(list.bounded);
    for (int i = 0; i < list.bounded; ++i) {
        // Every reading counted by bounded fits, so none is cut short.
        Reading reading;
        qint32 channel = 0;
        reader.read(channel);
        reading.channel = qint8(channel);
        reader.read(reading.field2);
        reader.read(reading.field3);
        reader.read(reading.field4);
        reader.read(reading.value);
        m_readings.append(reading);
    }
    reader.endList(list, m_readings.size());
}

template <typename T>
MetersData<T>::MetersData(QVector<Reading> readings, qint32 a, qint32 b, qint32 c)
    : AudioMetersDataPacket(a, b, c)
    , m_readings(std::move(readings))
{
}

template <typename T>
QByteArray MetersData<T>::payloadBytes() const
{
    PayloadWriter writer(HEADER_SIZE + 4 + READING_SIZE * m_readings.size());
    writeHeaderWords(writer);
    writer.write(qint32(m_readings.size()));
    for (const Reading& reading : m_readings) {
        writer.write(qint32(reading.channel));
        writer.write(reading.field2);
        writer.write(reading.field3);
        writer.write(reading.field4);
        writer.write(reading.value);
    }
    return writer.bytes();
}

template class MetersData<float>;
template class MetersData<int>;
