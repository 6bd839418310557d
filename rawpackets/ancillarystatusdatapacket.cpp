#include "ancillarystatusdatapacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

#include <QVector>

namespace {
constexpr int TYPE1_COUNT_POSITION = 2;
constexpr int TYPE2_COUNT_POSITION = 4;
} // namespace

AncillaryStatusDataPacket::AncillaryStatusDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
{
    PayloadReader reader(payload(), header.packetType);
    qint16 type1Count = 0;
    qint16 type2Count = 0;
    reader.read(m_link);
    reader.read(m_dataStream);
    reader.read(type1Count);
    reader.read(type2Count);
    readRecords<AncPacketStatusType1>(reader, type1Count, TYPE1_COUNT_POSITION);
    readRecords<AncPacketStatusType2>(reader, type2Count, TYPE2_COUNT_POSITION);
}

AncillaryStatusDataPacket::AncillaryStatusDataPacket(qint8 link, qint8 dataStream, Records records)
    : m_link(link)
    , m_dataStream(dataStream)
    , m_records(std::move(records))
{
}

template <typename Status>
void AncillaryStatusDataPacket::readRecords(PayloadReader& reader, qint16 count, int countPosition)
{
    const PayloadReader::ListHeader list = reader.boundList(count, countPosition, Status::MINIMUM_SIZE);
    m_records.reserve(m_records.size() + std::size_t(list.bounded));
    int read = 0;
    for (; read < list.bounded; ++read) {
        auto status = std::make_unique<Status>();
        status->read(reader);
        if (reader.failed())
            return;
        m_records.push_back(std::move(status));
    }
    reader.endList(list, read);
}

template <typename Status>
QVector<const AncPacketStatus*> AncillaryStatusDataPacket::recordsOfType() const
{
    QVector<const AncPacketStatus*> selected;
    for (const auto& record : m_records) {
        if (selected.size() < MAX_RECORDS_PER_TYPE && dynamic_cast<const Status*>(record.get()))
            selected.append(record.get());
    }
    return selected;
}

QByteArray AncillaryStatusDataPacket::payloadBytes() const
{
    const QVector<const AncPacketStatus*> type1 = recordsOfType<AncPacketStatusType1>();
    const QVector<const AncPacketStatus*> type2 = recordsOfType<AncPacketStatusType2>();
    int size = TYPE2_COUNT_POSITION + 2;
    for (const AncPacketStatus* record : type1 + type2)
        size += record->wireSize();

    PayloadWriter writer(size);
    writer.write(m_link);
    writer.write(m_dataStream);
    writer.write(qint16(type1.size()));
    writer.write(qint16(type2.size()));
    for (const AncPacketStatus* record : type1 + type2)
        record->write(writer);
    return writer.bytes();
}

bool operator==(const AncillaryStatusDataPacket& a, const AncillaryStatusDataPacket& b)
{
    if (a.m_link != b.m_link || a.m_dataStream != b.m_dataStream || a.m_records.size() != b.m_records.size())
        return false;
    for (std::size_t i = 0; i < a.m_records.size(); ++i) {
        if (!(*a.m_records[i] == *b.m_records[i]))
            return false;
    }
    return true;
}
