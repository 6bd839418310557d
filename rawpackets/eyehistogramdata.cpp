#include "eyehistogramdata.h"

#include "payloadreader.h"
#include "payloadwriter.h"

EyeHistogramData::EyeHistogramData(const QByteArray& frame, const RawDataPacketHeader& header)
    : EyeDataPacket(frame, header)
{
    PayloadReader reader(payload(), header.packetType);
    reader.read(m_bins);
}

EyeHistogramData::EyeHistogramData(QVector<qint32> bins)
    : m_bins(std::move(bins))
{
}

QByteArray EyeHistogramData::payloadBytes() const
{
    PayloadWriter writer(Wire::sizeOf(m_bins));
    writer.write(m_bins);
    return writer.bytes();
}
