#pragma once

#include "ancpacketstatus.h"
#include "rawdatapacket.h"

#include <QVector>

#include <memory>
#include <vector>

// Status of the ancillary packets seen on one SDI input: which kinds were found
// and their counters, as AncPacketStatus records owned by the packet. The
// ancillary packets themselves are not decoded here. Records of type 1 go out
// before those of type 2, each group in its own order.
//
// | field           | wire                                            |
// |-----------------|-------------------------------------------------|
// | link            | signed char                                     |
// | dataStream      | signed char                                     |
// | type-1 count n1 | qint16                                          |
// | type-2 count n2 | qint16                                          |
// | n1 records      | AncPacketStatusType1 (key, flags, 2 blocks)     |
// | n2 records      | AncPacketStatusType2 (key, flags, 4 blocks)     |
class AncillaryStatusDataPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x101F;
    // Records beyond this many of one type are not written.
    static constexpr int MAX_RECORDS_PER_TYPE = 32767;

    using Records = std::vector<std::unique_ptr<AncPacketStatus>>;

    AncillaryStatusDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    AncillaryStatusDataPacket(qint8 link, qint8 dataStream, Records records);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    qint8 link() const { return m_link; }
    qint8 dataStream() const { return m_dataStream; }
    const Records& records() const { return m_records; }

    friend bool operator==(const AncillaryStatusDataPacket& a, const AncillaryStatusDataPacket& b);

private:
    template <typename Status>
    void readRecords(PayloadReader& reader, qint16 count, int countPosition);
    template <typename Status>
    QVector<const AncPacketStatus*> recordsOfType() const;

    qint8 m_link = 0;
    qint8 m_dataStream = 0;
    Records m_records;
};
