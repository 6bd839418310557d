#include "rawdatapacket.h"

#include <QBuffer>
#include <QtTest>

namespace {

// Type 0x1013, sub-type 3, whatever payload it was built or received with.
class FixedPacket : public RawDataPacket
{
public:
    FixedPacket(const QByteArray& frame, const RawDataPacketHeader& header)
        : RawDataPacket(frame, header), m_bytes(payload()) {}
    QByteArray payloadBytes() const override { return m_bytes; }
    quint16 packetType() const override { return 0x1013; }
    quint16 packetSubType() const override { return 3; }

private:
    QByteArray m_bytes;
};

} // namespace

class TestRawDataPacket : public QObject
{
    Q_OBJECT

private slots:
    void readHeader_data();
    void readHeader();
    void headerComesFromTheClassNotTheReceivedHeader();
};

void TestRawDataPacket::readHeader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("packetType");
    QTest::addColumn<quint32>("payloadLength");
    QTest::addColumn<quint32>("receiverKey");

    const QByteArray empty = QByteArray::fromHex("1013000000000000");
    QTest::newRow("length 0 is complete with 8 bytes") << empty << 0x1013 << 0u << 0x1013u;
    QTest::newRow("last valid id 0x1029") << QByteArray::fromHex("1029000000000000") << 0x1029 << 0u << 0x1029u;
    QTest::newRow("0x102A is invalid") << QByteArray::fromHex("102A000000000000") << 0 << 0u << 0u;
    QTest::newRow("0x100F is invalid") << QByteArray::fromHex("100F000000000000") << 0 << 0u << 0u;
    QTest::newRow("sub-type 1 of 0x1010 is key 0x11010") << QByteArray::fromHex("1010000100000002ABCD") << 0x1010
                                                         << 2u << 0x11010u;
    QTest::newRow("one byte short is incomplete") << QByteArray::fromHex("10100000000000040A0B0C") << 1 << 4u << 1u;
    QTest::newRow("length 0xFFFFFFF8 does not wrap") << QByteArray::fromHex("10100000FFFFFFF8") << 1
                                                     << 0xFFFFFFF8u << 1u;
    for (int size = 0; size < RawDataPacketHeader::SIZE; ++size)
        QTest::newRow(QByteArray("cut to " + QByteArray::number(size)).constData()) << empty.left(size) << 1 << 0u << 1u;
}

void TestRawDataPacket::readHeader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, packetType);

    const RawDataPacketHeader header = ::readHeader(bytes);
    QCOMPARE(int(header.packetType), packetType);
    QTEST(header.payloadLength, "payloadLength");
    QTEST(header.receiverKey(), "receiverKey");
    // A view into a larger buffer must not look past its own end.
    const QByteArray padded = bytes + QByteArray(64, '\0');
    QCOMPARE(int(::readHeader(padded.constData(), bytes.size()).packetType), packetType);
}

void TestRawDataPacket::headerComesFromTheClassNotTheReceivedHeader()
{
    // Received as 0x1020 with 5 payload bytes and 2 bytes of the next frame.
    const QByteArray frame = QByteArray::fromHex("102000000000000568692121217879");
    const FixedPacket received(frame, ::readHeader(frame));
    QCOMPARE(received.payload(), QByteArray("hi!!!"));
    QCOMPARE(int(received.header().packetType), 0x1020);

    QBuffer device;
    device.open(QIODevice::WriteOnly);
    writePacket(received, &device);
    QCOMPARE(device.data().toHex(), QByteArray("10130003000000056869212121"));
    QCOMPARE(headerBytes(received, QByteArray(300, 'x')).toHex(), QByteArray("101300030000012c"));
}

QTEST_GUILESS_MAIN(TestRawDataPacket)
#include "tst_rawdatapacket.moc"
