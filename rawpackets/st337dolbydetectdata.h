#pragma once

#include "audiometersdatapacket.h"

#include <QVector>

#include <array>
#include <tuple>

// Detection of ST 337 data bursts (compressed, non-PCM audio) in the audio
// channels: the three header words, a list of detection records and a list of
// four-word records. The bursts themselves are not decoded here. The fields are
// named by position; their meaning is the sender's.
//
// | field                    | wire                                         |
// |--------------------------|----------------------------------------------|
// | header words 1 to 3      | 3 x qint32                                   |
// | detection count n        | qint32                                       |
// | n detections (24 bytes)  | qint16, 3 x qint32, 2 x signed char,         |
// |                          | 2 x qint16, 4 x signed char                  |
// | group count m            | qint32                                       |
// | m groups (8 bytes)       | 4 x qint16                                   |
class ST337DolbyDetectData final : public AudioMetersDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1018;

    struct Detection
    {
        qint16 field1 = 0;
        qint32 field2 = 0;
        qint32 field3 = 0;
        qint32 field4 = 0;
        qint8 field5 = 0;
        qint8 field6 = 0;
        qint16 field7 = 0;
        qint16 field8 = 0;
        qint8 field9 = 0;
        qint8 field10 = 0;
        qint8 field11 = 0;
        qint8 field12 = 0;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.field1, self.field2, self.field3, self.field4, self.field5, self.field6,
                self.field7, self.field8, self.field9, self.field10, self.field11, self.field12);
        }
        bool operator==(const Detection& other) const { return fields(*this) == fields(other); }
    };
    using Group = std::array<qint16, 4>;

    ST337DolbyDetectData(const QByteArray& frame, const RawDataPacketHeader& header);
    ST337DolbyDetectData(QVector<Detection> detections, QVector<Group> groups, qint32 a, qint32 b, qint32 c);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const QVector<Detection>& detections() const { return m_detections; }
    const QVector<Group>& groups() const { return m_groups; }

    friend bool operator==(const ST337DolbyDetectData& a, const ST337DolbyDetectData& b)
    {
        return a.headerWords() == b.headerWords() && a.m_detections == b.m_detections && a.m_groups == b.m_groups;
    }

private:
    QVector<Detection> m_detections;
    QVector<Group> m_groups;
};
