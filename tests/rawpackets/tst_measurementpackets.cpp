#include "examplepackets.h"

#include "ancillarystatusdatapacket.h"
#include "audiochannelstatusdatapacket.h"
#include "captions608bytepairsrawdatapacket.h"
#include "eyehistogramdata.h"
#include "logcapture.h"
#include "loudnessenginerawdatapacket.h"
#include "measurementpacketfactory.h"
#include "metersdata.h"
#include "rawsdijitterspectrumdatapacket.h"
#include "rawsdisamplegridpacket.h"
#include "refvsptppacket.h"
#include "teletextrawdatapacket.h"

#include <QtTest>

#include <algorithm>

Q_DECLARE_METATYPE(std::shared_ptr<RawDataPacket>)

namespace {

// The type-id table of the framework, written out independently of the classes.
const struct
{
    quint16 typeId;
    const char* className;
    quint16 subType;
} TYPE_TABLE[] = {
    {0x1011, "EyeVerticalHistogramData", 0}, {0x1012, "EyeHorizontalHistogramData", 0},
    {0x1013, "PpmMetersData", 0}, {0x1014, "PeakHoldMetersData", 0}, {0x1015, "PhaseMetersData", 0},
    {0x1016, "InstantPeakDbMetersData", 0}, {0x1017, "InstantPeakLinearMetersData", 0},
    {0x1018, "ST337DolbyDetectData", 0}, {0x1019, "RawSdiSampleGridPacket", 0},
    {0x101A, "RawSdiJitterSpectrumDataPacket", 0}, {0x101B, "JitterVerticalHistogramData", 0},
    {0x101C, "VideoPitHistogramPacket", 0}, {0x101D, "AudioPitHistogramPacket", 1},
    {0x101E, "AncPitHistogramPacket", 3}, {0x101F, "AncillaryStatusDataPacket", 0},
    {0x1020, "AudioChannelStatusDataPacket", 0}, {0x1021, "AesPresenceDataPacket", 0},
    {0x1022, "TeletextRawDataPacket", 0}, {0x1023, "EyeWindowedVerticalHistogramData", 0},
    {0x1024, "VideoIp2110_21DataPacket", 0}, {0x1025, "PtpMediaLatencyPacket", 0},
    {0x1026, "Captions608bytePairsRawDataPacket", 0}, {0x1027, "RefVsPtpPacket", 0},
    {0x1028, "SCTE104RawDataPacket", 0}, {0x1029, "LoudnessEngineRawDataPacket", 0},
};

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QString logPrefix(quint16 typeId)
{
    return QStringLiteral("Packet type 0x%1:").arg(typeId, 4, 16, QLatin1Char('0'));
}

template <typename T, typename... Args>
std::shared_ptr<RawDataPacket> packet(Args&&... args)
{
    return std::make_shared<T>(std::forward<Args>(args)...);
}

} // namespace

class tst_MeasurementPackets : public QObject
{
    Q_OBJECT

private slots:
    void roundTripThroughFactory_data();
    void roundTripThroughFactory();
    void idsOutsideTheFamily_data();
    void idsOutsideTheFamily();
    void goldenPayload_data();
    void goldenPayload();
    void decodeDamagedPayload_data();
    void decodeDamagedPayload();
    void captionCharactersLoseParity();
    void truncatedPayload_data();
    void truncatedPayload();

private:
    const QVector<ExamplePacket> m_examples = examplePackets();
};

void tst_MeasurementPackets::roundTripThroughFactory_data()
{
    QTest::addColumn<int>("example");
    QTest::addColumn<quint16>("typeId");
    QTest::addColumn<quint16>("subType");

    QCOMPARE(int(sizeof TYPE_TABLE / sizeof TYPE_TABLE[0]), 0x1029 - 0x1011 + 1);
    QCOMPARE(m_examples.size(), int(sizeof TYPE_TABLE / sizeof TYPE_TABLE[0]));
    for (const auto& entry : TYPE_TABLE) {
        const auto found = std::find_if(m_examples.begin(), m_examples.end(),
            [&entry](const ExamplePacket& example) { return qstrcmp(example.className, entry.className) == 0; });
        QVERIFY2(found != m_examples.end(), entry.className);
        QTest::newRow(QByteArray(entry.className) + " 0x" + QByteArray::number(entry.typeId, 16))
            << int(found - m_examples.begin()) << entry.typeId << entry.subType;
    }
}

void tst_MeasurementPackets::roundTripThroughFactory()
{
    QFETCH(int, example);
    QFETCH(quint16, typeId);
    QFETCH(quint16, subType);
    const ExamplePacket& original = m_examples.at(example);

    const QByteArray payload = original.packet->payloadBytes();
    QCOMPARE(payload.size(), original.payloadSize);
    const QByteArray header = headerBytes(*original.packet, payload);
    QCOMPARE(header.toHex(), QString::asprintf("%04x%04x%08x", typeId, subType, unsigned(payload.size())).toLatin1());

    LogCapture capture;
    const QByteArray frame = header + payload;
    const std::shared_ptr<RawDataPacket> decoded = createMeasurementPacket(frame, readHeader(frame));
    QVERIFY(decoded);
    QVERIFY(original.sameValues(*decoded, *original.packet));
    QCOMPARE(decoded->packetType(), typeId);
    QCOMPARE(decoded->packetSubType(), subType);
    QCOMPARE(decoded->payloadBytes(), payload);
    QCOMPARE(capture.messages(), QStringList());
}

void tst_MeasurementPackets::idsOutsideTheFamily_data()
{
    QTest::addColumn<quint16>("typeId");
    QTest::newRow("JSON packets are not measurements") << quint16(0x1010);
    QTest::newRow("just below the range") << quint16(0x100F);
    QTest::newRow("just above the range") << quint16(0x102A);
    QTest::newRow("invalid header marker") << RawDataPacketHeader::INVALID;
    QTest::newRow("incomplete header marker") << RawDataPacketHeader::INCOMPLETE;
}

void tst_MeasurementPackets::idsOutsideTheFamily()
{
    QFETCH(quint16, typeId);
    RawDataPacketHeader header;
    header.packetType = typeId;
    header.payloadLength = 4;
    QVERIFY(!createMeasurementPacket(frameOf(typeId, hex("00000000")), header));
}

void tst_MeasurementPackets::goldenPayload_data()
{
    QTest::addColumn<std::shared_ptr<RawDataPacket>>("packet");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("float meter: words c,a,b; channel widened; value as double")
        << packet<PpmMetersData>(QVector<MeterReading<float>>{{-1, 2, 3, 4, 0.5f}}, 1, 2, 3)
        << hex("00000003 00000001 00000002 00000001 ffffffff 00000002 00000003 00000004 3fe0000000000000");
    QTest::newRow("int meter: value as qint32")
        << packet<InstantPeakLinearMetersData>(QVector<MeterReading<int>>{{5, 0, 0, 0, -2}}, 0, 0, 0)
        << hex("00000000 00000000 00000000 00000001 00000005 00000000 00000000 00000000 fffffffe");
    QTest::newRow("eye histogram without bins is a zero count")
        << packet<EyeHorizontalHistogramData>(QVector<qint32>()) << hex("00000000");
    using Pair = Captions608bytePairsRawDataPacket::BytePair;
    QTest::newRow("caption pairs as received, flag in bit 0")
        << packet<Captions608bytePairsRawDataPacket>(QVector<Pair>{Pair(0x94, 0x2C, true), Pair(0x41, 0xC2, false)})
        << hex("942c01 41c200");

    AudioChannelStatusDataPacket::Values channels{1, 2, {{}}, true};
    channels.channels[0].statusValid = 1;
    channels.channels[0].channelStatus = {0x01020304, 0, 0, 0, 0, 0xFF};
    channels.channels[0].field11 = 7;
    channels.channels[0].field13 = 13;
    QTest::newRow("channel record of 52 bytes, word 11 written as 0")
        << packet<AudioChannelStatusDataPacket>(channels)
        << hex("00000001 00000002 00000001 00000001 00000000 00000000 00000000 01020304 00000000 00000000"
               "00000000 00000000 000000ff 00000000 00000000 0000000d 01");

    AncillaryStatusDataPacket::Records records;
    records.push_back(std::make_unique<AncPacketStatusType1>(0x41, 0));
    records.back()->setBlock(1, AncPacketStatus::Block{1, 2, 3, 4, 5, 6});
    QTest::newRow("ancillary status: absent block is a false, present one a true and 32 bytes")
        << packet<AncillaryStatusDataPacket>(qint8(1), qint8(2), std::move(records))
        << hex("01 02 0001 0000 41 00000000 00 01 00000001 00000002 0000000000000003 00000004 00000005"
               "0000000000000006");
    AncillaryStatusDataPacket::Records mixed;
    mixed.push_back(std::make_unique<AncPacketStatusType2>(0x02, 0));
    mixed.push_back(std::make_unique<AncPacketStatusType1>(0x01, 0));
    QTest::newRow("ancillary status: type-1 records go out before type-2 ones")
        << packet<AncillaryStatusDataPacket>(qint8(0), qint8(0), std::move(mixed))
        << hex("00 00 0001 0001 01 00000000 0000 02 00000000 00000000");

    TeletextRawDataPacket::Line line;
    line.lineNumber = 0x0115;
    line.secondField = true;
    line.packet.fill(0xA5);
    QTest::newRow("teletext: count byte, line number, flags, 42 packet bytes")
        << packet<TeletextRawDataPacket>(QVector<TeletextRawDataPacket::Line>{line})
        << hex("01 0115 01") + QByteArray(42, char(0xA5));
    QTest::newRow("reference against PTP") << packet<RefVsPtpPacket>(RefVsPtpPacket::Values{1, -1, 2})
                                           << hex("0000000000000001 ffffffff 00000002");
    QTest::newRow("loudness: bools and signed char take one byte")
        << packet<LoudnessEngineRawDataPacket>(
               LoudnessEngineRawDataPacket::Values{0, 0, {}, {true, false, false, false, true}, -1, 2})
        << hex("0000000000000000 0000000000000000 0000000000000000 0100000001 ff 0002");
}

void tst_MeasurementPackets::goldenPayload()
{
    QFETCH(std::shared_ptr<RawDataPacket>, packet);
    QFETCH(QByteArray, payload);
    QCOMPARE(packet->payloadBytes().toHex(), payload.toHex());
}

void tst_MeasurementPackets::decodeDamagedPayload_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<std::shared_ptr<RawDataPacket>>("expected");
    QTest::addColumn<int>("logLines");

    auto row = [](const char* name, const QByteArray& payload, std::shared_ptr<RawDataPacket> expected,
                  int logLines = 1) { QTest::newRow(name) << payload << expected << logLines; };
    using Bins = QVector<qint32>;
    using FloatReadings = QVector<MeterReading<float>>;
    row("caption payload of 7 bytes gives two pairs and no line", hex("942c01 c142fe 99"),
        packet<Captions608bytePairsRawDataPacket>(
            QVector<Captions608bytePairsRawDataPacket::BytePair>{{0x94, 0x2C, true}, {0xC1, 0x42, false}}), 0);
    row("bins: count larger than the bins that follow keeps those", hex("00000003 00000005 00000006"),
        packet<EyeVerticalHistogramData>(Bins{5, 6}));
    row("bins: negative count", hex("ffffffff 00000005"), packet<EyeVerticalHistogramData>(Bins()));
    row("bins: largest count", hex("7fffffff 00000009"), packet<EyeVerticalHistogramData>(Bins{9}));
    row("bins: bytes after the last field are ignored", hex("00000001 00000009 0102"),
        packet<EyeVerticalHistogramData>(Bins{9}), 0);
    row("meter: largest count with one reading",
        hex("00000003 00000001 00000002 7fffffff 00000001 00000002 00000003 00000004 3ff0000000000000"),
        packet<PpmMetersData>(FloatReadings{{1, 2, 3, 4, 1.0f}}, 1, 2, 3));
    row("meter: header words without a count", hex("00000003 00000001 00000002"),
        packet<PhaseMetersData>(FloatReadings(), 1, 2, 3));
    row("meter: double beyond the float range becomes infinity",
        hex("00000000 00000000 00000000 00000001 00000000 00000000 00000000 00000000 7fefffffffffffff"),
        packet<PpmMetersData>(FloatReadings{{0, 0, 0, 0, std::numeric_limits<float>::infinity()}}, 0, 0, 0), 0);
    row("sample grid: run count beyond the payload drops the row",
        hex("00000001") + QByteArray(52, '\0') + hex("7fffffff"),
        packet<RawSdiSampleGridPacket>(QVector<RawSdiSampleGridPacket::Row>()));
    row("spectrum: huge first count keeps the one double", hex("10000000 3ff0000000000000"),
        packet<RawSdiJitterSpectrumDataPacket>(RawSdiJitterSpectrumDataPacket::Values{{1.0}, {}, {}, 0, false, 0}));
    row("ancillary status: negative type-1 count keeps the header bytes", hex("05 06 ffff 0000"),
        packet<AncillaryStatusDataPacket>(qint8(5), qint8(6), AncillaryStatusDataPacket::Records()));
    row("teletext: count of 3 with one line", hex("03 0007 00") + QByteArray(42, '\0'),
        packet<TeletextRawDataPacket>(QVector<TeletextRawDataPacket::Line>{{7, false, {}}}));
    row("channel status: count of 2 with one record",
        hex("00000000 00000000 00000002") + QByteArray(52, '\0') + hex("01"),
        packet<AudioChannelStatusDataPacket>(AudioChannelStatusDataPacket::Values{0, 0, {{}}, false}));
}

void tst_MeasurementPackets::decodeDamagedPayload()
{
    QFETCH(QByteArray, payload);
    QFETCH(std::shared_ptr<RawDataPacket>, expected);
    QFETCH(int, logLines);

    LogCapture capture;
    const std::shared_ptr<RawDataPacket> decoded = decodePayload(expected->packetType(), payload);
    QVERIFY(decoded);
    QCOMPARE(decoded->payloadBytes().toHex(), expected->payloadBytes().toHex());
    QCOMPARE(capture.countStartingWith(logPrefix(expected->packetType())), logLines);
    QCOMPARE(capture.messages().size(), logLines);
}

void tst_MeasurementPackets::captionCharactersLoseParity()
{
    const std::shared_ptr<RawDataPacket> decoded = decodePayload(0x1026, hex("942c01 c1c2fe"));
    QStringList pairs; // as received, then without parity, then the flag
    for (const auto& pair : static_cast<const Captions608bytePairsRawDataPacket&>(*decoded).pairs())
        pairs << QString::asprintf("%02x%02x %02x%02x %d", pair.first, pair.second, pair.firstData, pair.secondData,
                                   pair.flag);
    QCOMPARE(pairs, (QStringList{"942c 142c 1", "c1c2 4142 0"}));
}

void tst_MeasurementPackets::truncatedPayload_data()
{
    QTest::addColumn<int>("example");
    QTest::addColumn<int>("length");

    for (int i = 0; i < m_examples.size(); ++i) {
        const ExamplePacket& example = m_examples.at(i);
        for (int length = 0; length < example.payloadSize; ++length)
            QTest::newRow(qPrintable(QStringLiteral("%1, %2 of %3 bytes")
                                         .arg(QLatin1String(example.className))
                                         .arg(length)
                                         .arg(example.payloadSize)))
                << i << length;
    }
}

void tst_MeasurementPackets::truncatedPayload()
{
    QFETCH(int, example);
    QFETCH(int, length);
    const ExamplePacket& original = m_examples.at(example);
    // Captions have no count: a cut after any byte leaves whole pairs and an ignored remainder.
    const bool captions = original.typeId == Captions608bytePairsRawDataPacket::TYPE_ID;

    LogCapture capture;
    const std::shared_ptr<RawDataPacket> truncated
        = decodePayload(original.typeId, original.packet->payloadBytes().left(length));
    QVERIFY(truncated);
    QCOMPARE(capture.countStartingWith(logPrefix(original.typeId)), captions ? 0 : 1);
    QCOMPARE(capture.messages().size(), captions ? 0 : 1);

    // Whatever a packet kept, it writes a payload it reads back whole.
    capture.clear();
    const std::shared_ptr<RawDataPacket> again = decodePayload(original.typeId, truncated->payloadBytes());
    QVERIFY(original.sameValues(*again, *truncated));
    QCOMPARE(capture.messages(), QStringList());
}

QTEST_GUILESS_MAIN(tst_MeasurementPackets)
#include "tst_measurementpackets.moc"
