#pragma once

#include "rawdatapacket.h"

#include <QVector>

#include <tuple>

// Jitter spectrum of an SDI input: three series of doubles and three words,
// carried as measured; no filtering or scaling is done here. The fields are
// named by position; their meaning is the sender's.
//
// | field                     | wire                           |
// |---------------------------|--------------------------------|
// | series1, series2, series3 | each qint32 count + n x double |
// | field4                    | qint32                         |
// | flag                      | bool                           |
// | field5                    | qint32                         |
class RawSdiJitterSpectrumDataPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x101A;

    struct Values
    {
        QVector<double> series1;
        QVector<double> series2;
        QVector<double> series3;
        qint32 field4 = 0;
        bool flag = false;
        qint32 field5 = 0;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.series1, self.series2, self.series3, self.field4, self.flag, self.field5);
        }
        bool operator==(const Values& other) const { return fields(*this) == fields(other); }
    };

    RawSdiJitterSpectrumDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit RawSdiJitterSpectrumDataPacket(const Values& values);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const Values& values() const { return m_values; }

    friend bool operator==(const RawSdiJitterSpectrumDataPacket& a, const RawSdiJitterSpectrumDataPacket& b)
    {
        return a.m_values == b.m_values;
    }

private:
    Values m_values;
};
