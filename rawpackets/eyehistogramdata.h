#pragma once

#include "eyedatapacket.h"

#include <QVector>

// An eye or jitter histogram: a list of qint32 bin values (qint32 count, then
// the bins). The bins are not scaled or drawn here. The leaf classes below
// differ only in their type id.
class EyeHistogramData : public EyeDataPacket
{
public:
    EyeHistogramData(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit EyeHistogramData(QVector<qint32> bins);

    QByteArray payloadBytes() const override;

    const QVector<qint32>& bins() const { return m_bins; }

    friend bool operator==(const EyeHistogramData& a, const EyeHistogramData& b) { return a.m_bins == b.m_bins; }

private:
    QVector<qint32> m_bins;
};

class EyeVerticalHistogramData final : public EyeHistogramData
{
public:
    static constexpr quint16 TYPE_ID = 0x1011;
    using EyeHistogramData::EyeHistogramData;
    quint16 packetType() const override { return TYPE_ID; }
};

class EyeHorizontalHistogramData final : public EyeHistogramData
{
public:
    static constexpr quint16 TYPE_ID = 0x1012;
    using EyeHistogramData::EyeHistogramData;
    quint16 packetType() const override { return TYPE_ID; }
};

class JitterVerticalHistogramData final : public EyeHistogramData
{
public:
    static constexpr quint16 TYPE_ID = 0x101B;
    using EyeHistogramData::EyeHistogramData;
    quint16 packetType() const override { return TYPE_ID; }
};

class EyeWindowedVerticalHistogramData final : public EyeHistogramData
{
public:
    static constexpr quint16 TYPE_ID = 0x1023;
    using EyeHistogramData::EyeHistogramData;
    quint16 packetType() const override { return TYPE_ID; }
};
