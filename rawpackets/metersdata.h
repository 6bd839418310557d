#pragma once

#include "audiometersdatapacket.h"

#include <QVector>

#include <tuple>
#include <type_traits>

// One channel's reading. The first field is held in 8 bits and travels as a
// qint32; the value travels as a double for float meters.
template <typename T>
struct MeterReading
{
    qint8 channel = 0;
    qint32 field2 = 0;
    qint32 field3 = 0;
    qint32 field4 = 0;
    T value = T();

    bool operator==(const MeterReading& other) const
    {
        return std::tie(channel, field2, field3, field4, value)
            == std::tie(other.channel, other.field2, other.field3, other.field4, other.value);
    }
};

// Audio meters: the three header words and a list of channel readings of type
// T. Values are carried as measured, not scaled or converted. The leaf classes
// below differ only in their type id.
//
// | field                     | wire                                  |
// |---------------------------|---------------------------------------|
// | header words 1 to 3       | 3 x qint32                            |
// | reading count n           | qint32                                |
// | n readings: channel       | qint32 (8 bits in memory)             |
// |   fields 2 to 4           | 3 x qint32                            |
// |   value                   | double for float, qint32 for int      |
template <typename T>
class MetersData : public AudioMetersDataPacket
{
public:
    using Reading = MeterReading<T>;
    static constexpr int READING_SIZE = 16 + (std::is_floating_point<T>::value ? 8 : 4);

    MetersData(const QByteArray& frame, const RawDataPacketHeader& header);
    MetersData(QVector<Reading> readings, qint32 a, qint32 b, qint32 c);

    QByteArray payloadBytes() const override;

    const QVector<Reading>& readings() const { return m_readings; }

    friend bool operator==(const MetersData& a, const MetersData& b)
    {
        return a.headerWords() == b.headerWords() && a.m_readings == b.m_readings;
    }

private:
    QVector<Reading> m_readings;
};

extern template class MetersData<float>;
extern template class MetersData<int>;

class PpmMetersData final : public MetersData<float>
{
public:
    static constexpr quint16 TYPE_ID = 0x1013;
    using MetersData::MetersData;
    quint16 packetType() const override { return TYPE_ID; }
};

class PeakHoldMetersData final : public MetersData<float>
{
public:
    static constexpr quint16 TYPE_ID = 0x1014;
    using MetersData::MetersData;
    quint16 packetType() const override { return TYPE_ID; }
};

class PhaseMetersData final : public MetersData<float>
{
public:
    static constexpr quint16 TYPE_ID = 0x1015;
    using MetersData::MetersData;
    quint16 packetType() const override { return TYPE_ID; }
};

class InstantPeakDbMetersData final : public MetersData<float>
{
public:
    static constexpr quint16 TYPE_ID = 0x1016;
    using MetersData::MetersData;
    quint16 packetType() const override { return TYPE_ID; }
};

class InstantPeakLinearMetersData final : public MetersData<int>
{
public:
    static constexpr quint16 TYPE_ID = 0x1017;
    using MetersData::MetersData;
    quint16 packetType() const override { return TYPE_ID; }
};
