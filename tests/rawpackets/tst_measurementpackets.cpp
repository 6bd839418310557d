#include "aespresencedatapacket.h"
#include "ancillarystatusdatapacket.h"
#include "audiochannelstatusdatapacket.h"
#include "captions608bytepairsrawdatapacket.h"
#include "eyehistogramdata.h"
#include "logcapture.h"
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
#include "testframes.h"
#include "videoip2110_21datapacket.h"

#include <QtTest>

#include <typeinfo>

// Both of one class, with the same values, by that class's own comparison.
using Equal = bool (*)(const RawDataPacket& a, const RawDataPacket& b);
Q_DECLARE_METATYPE(std::shared_ptr<RawDataPacket>)
Q_DECLARE_METATYPE(Equal)

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

std::shared_ptr<RawDataPacket> decode(const QByteArray& frame)
{
    return createMeasurementPacket(frame, readHeader(frame));
}

template <typename T, typename... Args>
std::shared_ptr<T> packet(Args&&... args)
{
    return std::make_shared<T>(std::forward<Args>(args)...);
}

constexpr qint64 LONG = 0x0102030405060708LL;

PitHistogramPacket::Values pitValues()
{
    PitHistogramPacket::Values values{1, -2, LONG, {3, 4, 5, 6}, {true, false}, {}, 9, {false, 0xC0A80001},
        {true, 0}, {10, 11, 12}, {false, 0xEF010203}, {13, -14}, -15};
    values.bins.front() = 7;
    values.bins.back() = -8;
    return values;
}

const QByteArray PIT_PAYLOAD = hex("00000001 fffffffe 0102030405060708 00000003 00000004 00000005 00000006 01 00 00000007")
    + QByteArray(62 * 4, '\0')
    + hex("fffffff8 00000009 00c0a80001 0100000000 0000000a 0000000b 0000000c 00ef010203 0000000d fffffff2 fff1");

} // namespace

class tst_MeasurementPackets : public QObject
{
    Q_OBJECT

private slots:
    void wireBytes_data();
    void wireBytes();
};

// One row per class, its type id and payload written out by hand from the
// layouts, with a distinct value in every field so that a swapped, dropped or
// narrowed field shows.
void tst_MeasurementPackets::wireBytes_data()
{
    QTest::addColumn<std::shared_ptr<RawDataPacket>>("packet");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<Equal>("equal");

    const auto row = [](const char* name, auto packet, quint16 type, quint16 subType, const QByteArray& payload) {
        using T = typename decltype(packet)::element_type;
        const Equal equal = [](const RawDataPacket& a, const RawDataPacket& b) {
            return typeid(a) == typeid(T) && typeid(b) == typeid(T) && static_cast<const T&>(a) == static_cast<const T&>(b);
        };
        QTest::newRow(name) << std::shared_ptr<RawDataPacket>(packet) << rawFrame(type, subType, payload) << equal;
    };
    using Bins = QVector<qint32>;
    using Floats = QVector<MeterReading<float>>;
    row("eye vertical", packet<EyeVerticalHistogramData>(Bins{1, -2, 0x01020304}), 0x1011, 0,
        hex("00000003 00000001 fffffffe 01020304"));
    row("eye horizontal, no bins", packet<EyeHorizontalHistogramData>(Bins()), 0x1012, 0, hex("00000000"));
    row("jitter vertical", packet<JitterVerticalHistogramData>(Bins{-7}), 0x101B, 0, hex("00000001 fffffff9"));
    row("eye windowed", packet<EyeWindowedVerticalHistogramData>(Bins{5}), 0x1023, 0, hex("00000001 00000005"));
    // Words go out c, a, b; the channel widens to 32 bits and a float value travels as a double.
    row("PPM meters", packet<PpmMetersData>(Floats{{-1, 2, 3, 4, 0.5f}}, 1, 2, 3), 0x1013, 0,
        hex("00000003 00000001 00000002 00000001 ffffffff 00000002 00000003 00000004 3fe0000000000000"));
    row("peak hold", packet<PeakHoldMetersData>(Floats(), 4, 5, 6), 0x1014, 0, hex("00000006 00000004 00000005 00000000"));
    row("phase meters", packet<PhaseMetersData>(Floats(), 7, 8, 9), 0x1015, 0, hex("00000009 00000007 00000008 00000000"));
    row("instant peak dB meters", packet<InstantPeakDbMetersData>(Floats{{1, 0, 0, 0, -2.0f}}, 0, 0, 0), 0x1016, 0,
        hex("00000000 00000000 00000000 00000001 00000001 00000000 00000000 00000000 c000000000000000"));
    row("instant peak linear meters",
        packet<InstantPeakLinearMetersData>(QVector<MeterReading<int>>{{5, 6, 7, 8, -2}}, 1, 2, 3), 0x1017, 0,
        hex("00000003 00000001 00000002 00000001 00000005 00000006 00000007 00000008 fffffffe"));
    row("ST 337 detection",
        packet<ST337DolbyDetectData>(QVector<ST337DolbyDetectData::Detection>{{0x0102, 0x03040506, 0x0708090A, -1,
                                         0x0B, -2, 0x0C0D, -3, 0x11, 0x12, 0x13, 0x14}},
            QVector<ST337DolbyDetectData::Group>{{0x2122, 0x2324, -1, 0x2526}}, 1, 2, 3), 0x1018, 0,
        hex("00000003 00000001 00000002 00000001 0102 03040506 0708090a ffffffff 0b fe 0c0d fffd 11 12 13 14"
            "00000001 2122 2324 ffff 2526"));
    row("sample grid",
        packet<RawSdiSampleGridPacket>(QVector<RawSdiSampleGridPacket::Row>{
            {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, {0x3AC}, {0x40, -1}}}), 0x1019, 0,
        hex("00000001 00000001 00000002 00000003 00000004 00000005 00000006 00000007 00000008 00000009 0000000a"
            "0000000b 0000000c 0000000d 00000001 000003ac 00000002 00000040 ffffffff"));
    row("jitter spectrum",
        packet<RawSdiJitterSpectrumDataPacket>(
            RawSdiJitterSpectrumDataPacket::Values{{0.5}, {}, {-2.0, 1.0}, 7, true, 0x01020304}), 0x101A, 0,
        hex("00000001 3fe0000000000000 00000000 00000002 c000000000000000 3ff0000000000000 00000007 01 01020304"));
    row("video PIT", packet<VideoPitHistogramPacket>(pitValues()), 0x101C, 0, PIT_PAYLOAD);
    row("audio PIT", packet<AudioPitHistogramPacket>(pitValues()), 0x101D, 1, PIT_PAYLOAD);
    row("ancillary PIT", packet<AncPitHistogramPacket>(pitValues()), 0x101E, 3, PIT_PAYLOAD);

    // Type-1 records go out before type-2 ones; an absent block is a false,
    // a present one a true and its 32 bytes.
    AncillaryStatusDataPacket::Records records;
    records.push_back(std::make_unique<AncPacketStatusType2>(0x02, -1));
    records.back()->setBlock(3, AncPacketStatus::Block{7, 8, -9, 10, 11, LONG});
    records.push_back(std::make_unique<AncPacketStatusType1>(0x41, 0x01020304));
    records.back()->setBlock(0, AncPacketStatus::Block{1, 2, 3, 4, 5, 6});
    row("ancillary status", packet<AncillaryStatusDataPacket>(qint8(1), qint8(-2), std::move(records)), 0x101F, 0,
        hex("01 fe 0001 0001 41 01020304 01 00000001 00000002 0000000000000003 00000004 00000005 0000000000000006 00"
            "02 ffffffff 00 00 00 01 00000007 00000008 fffffffffffffff7 0000000a 0000000b 0102030405060708"));

    AudioChannelStatusDataPacket::Values channels{1, 2, {{1, 2, 3, 4, {0x01020304, 0, 0, 0, 0, 0xFF}, 7, 12, 13}}, true};
    row("channel status, word 11 written as 0", packet<AudioChannelStatusDataPacket>(channels), 0x1020, 0,
        hex("00000001 00000002 00000001 00000001 00000002 00000003 00000004 01020304 00000000 00000000 00000000"
            "00000000 000000ff 00000000 0000000c 0000000d 01"));
    row("AES presence", packet<AesPresenceDataPacket>(1, 2, 3), 0x1021, 0, hex("00000003 00000001 00000002"));

    TeletextRawDataPacket::Line line{0x0115, true, {}};
    line.packet.fill(0xA5);
    line.packet.back() = 0x5A;
    row("teletext", packet<TeletextRawDataPacket>(QVector<TeletextRawDataPacket::Line>{line}), 0x1022, 0,
        hex("01 0115 01") + QByteArray(41, char(0xA5)) + hex("5a"));
    row("ST 2110-21",
        packet<VideoIp2110_21DataPacket>(VideoIp2110_21DataPacket::Values{
            {1, 2, 3, 4, 5, -6}, {0.5, -2.0, 1.0, 0.25}, {0x0102, -1}, 0x01020304}), 0x1024, 0,
        hex("00000001 00000002 00000003 00000004 00000005 fffffffa 3fe0000000000000 c000000000000000"
            "3ff0000000000000 3fd0000000000000 0102 ffff 01020304"));

    PtpMediaLatencyPacket::Values latency{
        LONG, {1, 2, 3, 4, 5, -6}, -1, 0x0A0B, 0x0C, -2, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, {}};
    latency.field15.front() = 0x21;
    latency.field15.back() = -1;
    row("PTP media latency", packet<PtpMediaLatencyPacket>(latency), 0x1025, 0,
        hex("0102030405060708 00000001 00000002 00000003 00000004 00000005 fffffffa ffffffffffffffff 0a0b 0c fe"
            "0000000000000011 0000000000000012 00000013 00000014 0000000000000015 00000016 00000017"
            "0000000000000018 00000021") + QByteArray(14 * 4, '\0') + hex("ffffffff"));

    using Pair = Captions608bytePairsRawDataPacket::BytePair;
    row("caption pairs as received, flag in bit 0",
        packet<Captions608bytePairsRawDataPacket>(QVector<Pair>{Pair(0x94, 0x2C, true), Pair(0x41, 0xC2, false)}),
        0x1026, 0, hex("942c01 41c200"));
    row("reference against PTP", packet<RefVsPtpPacket>(RefVsPtpPacket::Values{1, -1, 2}), 0x1027, 0,
        hex("0000000000000001 ffffffff 00000002"));
    row("SCTE-104",
        packet<SCTE104RawDataPacket>(SCTE104RawDataPacket::Values{
            {0x0101, 0x0202, 0x0303, 0x0404, 0x0505, 0x0606, 0x0707, 0x0808, 0x0909, 0x0A0A, 0x0B0B}, -2,
            {0x0C0C, 0x0D0D, 0x0E0E, 0x0F0F, 0x1010, 0x1111, -1}}), 0x1028, 0,
        hex("0101 0202 0303 0404 0505 0606 0707 0808 0909 0a0a 0b0b fffffffe 0c0c 0d0d 0e0e 0f0f 1010 1111 ffff"));
    row("loudness: bools and signed char take one byte",
        packet<LoudnessEngineRawDataPacket>(
            LoudnessEngineRawDataPacket::Values{LONG, -2, {1, 2, 3, -4}, {true, false, false, false, true}, -1, 2}),
        0x1029, 0, hex("0102030405060708 fffffffffffffffe 0001 0002 0003 fffc 0100000001 ff 0002"));
}

void tst_MeasurementPackets::wireBytes()
{
    QFETCH(std::shared_ptr<RawDataPacket>, packet);
    QFETCH(QByteArray, frame);
    QFETCH(Equal, equal);

    QCOMPARE(frameOf(*packet).toHex(), frame.toHex());
    LogCapture capture;
    const std::shared_ptr<RawDataPacket> decoded = decode(frame);
    QVERIFY(decoded);
    QCOMPARE(frameOf(*decoded).toHex(), frame.toHex());
    QCOMPARE(capture.messages(), QStringList());

    // Cut anywhere, a payload still decodes, reports where it stopped, and
    // what it kept writes a payload that reads back whole. Captions have no
    // count: a cut leaves whole pairs and an ignored remainder.
    const quint16 type = packet->packetType();
    const int expectedLines = type == Captions608bytePairsRawDataPacket::TYPE_ID ? 0 : 1;
    const QByteArray payload = frame.mid(RawDataPacketHeader::SIZE);
    const QString prefix = QStringLiteral("Packet type 0x%1:").arg(type, 4, 16, QLatin1Char('0'));
    for (int length = 0; length < payload.size(); ++length) {
        capture.clear();
        const std::shared_ptr<RawDataPacket> truncated = decode(rawFrame(type, 0, payload.left(length)));
        QVERIFY(truncated);
        QVERIFY2(capture.countStartingWith(prefix) == expectedLines, qPrintable(QString::number(length)));
        QCOMPARE(capture.messages().size(), expectedLines);
        capture.clear();
        const QByteArray kept = truncated->payloadBytes();
        const std::shared_ptr<RawDataPacket> again = decode(rawFrame(type, 0, kept));
        QCOMPARE(again->payloadBytes().toHex(), kept.toHex());
        QVERIFY(equal(*again, *truncated));
        QCOMPARE(equal(*truncated, *decoded), kept == payload);
        QCOMPARE(capture.messages(), QStringList());
    }
}

QTEST_GUILESS_MAIN(tst_MeasurementPackets)
#include "tst_measurementpackets.moc"
