#include "examplepackets.h"

#include "aespresencedatapacket.h"
#include "ancillarystatusdatapacket.h"
#include "audiochannelstatusdatapacket.h"
#include "captions608bytepairsrawdatapacket.h"
#include "eyehistogramdata.h"
#include "loudnessenginerawdatapacket.h"
#include "measurementpacketfactory.h"
#include "metersdata.h"
#include "pithistogrampacket.h"
#include "ptpmedialatencypacket.h"
#include "rawsdijitterspectrumdatapacket.h"
#include "rawsdisamplegridpacket.h"
#include "refvsptppacket.h"
#include "scte104rawdatapacket.h"
#include "st337dolbydetectdata.h"
#include "teletextrawdatapacket.h"
#include "videoip2110_21datapacket.h"

#include <QtEndian>

#include <typeinfo>

namespace {

template <typename T>
bool sameValues(const RawDataPacket& a, const RawDataPacket& b)
{
    if (typeid(a) != typeid(T) || typeid(b) != typeid(T))
        return false;
    return static_cast<const T&>(a) == static_cast<const T&>(b);
}

template <typename T>
ExamplePacket example(const char* className, int payloadSize, std::shared_ptr<T> packet)
{
    ExamplePacket entry;
    entry.className = className;
    entry.typeId = T::TYPE_ID;
    entry.subType = packet->packetSubType();
    entry.payloadSize = payloadSize;
    entry.packet = std::move(packet);
    entry.sameValues = &sameValues<T>;
    return entry;
}

// Every byte of a value differs, so a swap or a short read shows.
constexpr qint32 WORD = 0x01020304;
constexpr qint64 LONG = 0x0102030405060708LL;

const QVector<qint32> EYE_BINS = {1, -2, 0x7FFFFFFF, WORD};
const QVector<MeterReading<float>> FLOAT_READINGS = {{3, 10, -20, 30, -12.5f}, {-4, WORD, 2, 3, 0.1f}};
const QVector<MeterReading<int>> INT_READINGS = {{1, 2, 3, 4, -70000}, {-128, 5, 6, 7, WORD}};

ST337DolbyDetectData::Detection detection(qint8 base)
{
    return {qint16(-base), WORD, base, -WORD, base, qint8(-base), 300, -300, 1, 2, 3, qint8(base + 4)};
}

RawSdiSampleGridPacket::Row gridRow(qint32 line, QVector<qint32> luma, QVector<qint32> chroma)
{
    return {1, 2, line, 100, 0x274, 0x200, 0x1, 0x2, 0x3, 0x4, 0x5, 0x6, -1, std::move(luma), std::move(chroma)};
}

PitHistogramPacket::Values pitValues()
{
    PitHistogramPacket::Values values{-1, WORD, LONG, {4, 5, 6, 7}, {true, false}, {}, 8, {false, 0xC0A80001},
        {true, 0}, {9, 10, 11}, {false, 0xEF010203}, {12, -13}, -14};
    for (int i = 0; i < PitHistogramPacket::BIN_COUNT; ++i)
        values.bins[std::size_t(i)] = i * i - 100;
    return values;
}

AncPacketStatus::Block ancBlock(qint32 base)
{
    return {base, base + 1, LONG + base, 9 + base, 255, -LONG};
}

std::shared_ptr<AncillaryStatusDataPacket> ancillaryStatus()
{
    AncillaryStatusDataPacket::Records records;
    auto field = std::make_unique<AncPacketStatusType1>(0x41, -1);
    field->setBlock(1, ancBlock(10));
    records.push_back(std::move(field));
    auto link = std::make_unique<AncPacketStatusType2>(0xE0, WORD);
    link->setBlock(0, ancBlock(20));
    link->setBlock(3, ancBlock(30));
    records.push_back(std::move(link));
    records.push_back(std::make_unique<AncPacketStatusType2>(0x01, 0));
    return std::make_shared<AncillaryStatusDataPacket>(qint8(-2), qint8(3), std::move(records));
}

AudioChannelStatusDataPacket::ChannelRecord channelRecord(quint32 base)
{
    return {1, 2, -3, WORD, {0x85000000u + base, 0xFF00FF00u, base, 0x41424344u, 0x31323334u, 0x010203F0u}, 0, 0,
        -13};
}

TeletextRawDataPacket::Line teletextLine(quint16 lineNumber, bool secondField)
{
    TeletextRawDataPacket::Line line{lineNumber, secondField, {}};
    for (int i = 0; i < TeletextRawDataPacket::PACKET_SIZE; ++i)
        line.packet[std::size_t(i)] = quint8(0xF0 - i);
    return line;
}

} // namespace

QVector<ExamplePacket> examplePackets()
{
    using Bins = QVector<qint32>;
    using FloatReadings = QVector<MeterReading<float>>;
    QVector<ExamplePacket> examples;
    examples << example("EyeVerticalHistogramData", 20, std::make_shared<EyeVerticalHistogramData>(EYE_BINS))
             << example("EyeHorizontalHistogramData", 4, std::make_shared<EyeHorizontalHistogramData>(Bins()))
             << example("JitterVerticalHistogramData", 8, std::make_shared<JitterVerticalHistogramData>(Bins{-7}))
             << example("EyeWindowedVerticalHistogramData", 20,
                    std::make_shared<EyeWindowedVerticalHistogramData>(EYE_BINS));
    examples << example("PpmMetersData", 64, std::make_shared<PpmMetersData>(FLOAT_READINGS, 100, -200, 300))
             << example("PeakHoldMetersData", 40, std::make_shared<PeakHoldMetersData>(FLOAT_READINGS.mid(1), 1, 2, 3))
             << example("PhaseMetersData", 16, std::make_shared<PhaseMetersData>(FloatReadings(), 4, 5, 6))
             << example("InstantPeakDbMetersData", 64,
                    std::make_shared<InstantPeakDbMetersData>(FLOAT_READINGS, 7, 8, 9))
             << example("InstantPeakLinearMetersData", 56,
                    std::make_shared<InstantPeakLinearMetersData>(INT_READINGS, WORD, -1, 0));
    examples << example("ST337DolbyDetectData", 12 + 4 + 2 * 24 + 4 + 3 * 8,
        std::make_shared<ST337DolbyDetectData>(QVector<ST337DolbyDetectData::Detection>{detection(5), detection(-6)},
            QVector<ST337DolbyDetectData::Group>{{1, -2, 3, -4}, {5, 6, 7, 8}, {0x7FFF, -0x8000, 0, 1}}, 1, 2, 3));
    examples << example("AesPresenceDataPacket", 12, std::make_shared<AesPresenceDataPacket>(WORD, -1, 0x7FFFFFFF));
    examples << example("RawSdiSampleGridPacket", 4 + (60 + 16) + 60 + (60 + 4),
        std::make_shared<RawSdiSampleGridPacket>(QVector<RawSdiSampleGridPacket::Row>{
            gridRow(21, {0x040, 0x3AC, WORD}, {-5}), gridRow(22, {}, {}), gridRow(1125, {}, {0x200})}));
    examples << example("RawSdiJitterSpectrumDataPacket", 12 + 4 * 8 + 9,
        std::make_shared<RawSdiJitterSpectrumDataPacket>(
            RawSdiJitterSpectrumDataPacket::Values{{0.5, -1e10, 3.0e-300}, {}, {42.25}, -7, true, WORD}));
    examples << example("VideoPitHistogramPacket", 331, std::make_shared<VideoPitHistogramPacket>(pitValues()))
             << example("AudioPitHistogramPacket", 331, std::make_shared<AudioPitHistogramPacket>(pitValues()))
             << example("AncPitHistogramPacket", 331, std::make_shared<AncPitHistogramPacket>(pitValues()));
    examples << example("AncillaryStatusDataPacket", 6 + (7 + 32) + (9 + 64) + 9, ancillaryStatus());
    examples << example("AudioChannelStatusDataPacket", 4 + 4 + 4 + 2 * 52 + 1,
        std::make_shared<AudioChannelStatusDataPacket>(AudioChannelStatusDataPacket::Values{
            -1, WORD, {channelRecord(0x11), channelRecord(0x22)}, true}));
    examples << example("TeletextRawDataPacket", 1 + 2 * 45,
        std::make_shared<TeletextRawDataPacket>(
            QVector<TeletextRawDataPacket::Line>{teletextLine(7, false), teletextLine(0x0140, true)}));
    examples << example("VideoIp2110_21DataPacket", 64, std::make_shared<VideoIp2110_21DataPacket>(
        VideoIp2110_21DataPacket::Values{{1, -2, 3, WORD, 5, 6}, {0.25, -1.5, 1e-9, 123456.789}, {-1, 0x0102}, 9}));
    PtpMediaLatencyPacket::Values latency{
        LONG, {1, 2, 3, 4, 5, -6}, -LONG, -2, -3, 4, 5, 6, WORD, 8, 9, 10, 11, 12, {}};
    for (int i = 0; i < 16; ++i)
        latency.field15[std::size_t(i)] = 1000 * i - 1;
    examples << example("PtpMediaLatencyPacket", 156, std::make_shared<PtpMediaLatencyPacket>(latency));
    using Pair = Captions608bytePairsRawDataPacket::BytePair;
    examples << example("Captions608bytePairsRawDataPacket", 9,
        std::make_shared<Captions608bytePairsRawDataPacket>(
            QVector<Pair>{Pair(0x94, 0x2C, true), Pair(0xC1, 0x42, false), Pair(0x80, 0x80, true)}));
    examples << example("RefVsPtpPacket", 16,
        std::make_shared<RefVsPtpPacket>(RefVsPtpPacket::Values{-LONG, WORD, -1}));
    SCTE104RawDataPacket::Values scte{{}, WORD, {-1, 2, -3, 4, -5, 6, 0x7FFF}};
    for (int i = 0; i < 11; ++i)
        scte.field1[std::size_t(i)] = qint16(i * 0x0101 - 5);
    examples << example("SCTE104RawDataPacket", 40, std::make_shared<SCTE104RawDataPacket>(scte));
    const LoudnessEngineRawDataPacket::Values loudness{
        LONG, -LONG, {-230, 10, 0x0102, -1}, {true, false, true, true, false}, -7, 0x0A0B};
    examples << example("LoudnessEngineRawDataPacket", 32, std::make_shared<LoudnessEngineRawDataPacket>(loudness));
    return examples;
}

QByteArray frameOf(quint16 typeId, const QByteArray& payload)
{
    QByteArray frame(RawDataPacketHeader::SIZE, Qt::Uninitialized);
    auto* header = reinterpret_cast<uchar*>(frame.data());
    qToBigEndian<quint16>(typeId, header);
    qToBigEndian<quint16>(0, header + 2);
    qToBigEndian<quint32>(quint32(payload.size()), header + 4);
    return frame + payload;
}

std::shared_ptr<RawDataPacket> decodePayload(quint16 typeId, const QByteArray& payload)
{
    const QByteArray frame = frameOf(typeId, payload);
    return createMeasurementPacket(frame, readHeader(frame));
}
