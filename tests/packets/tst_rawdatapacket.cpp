#include "rawdatapacket.h"

#include <QBuffer>
#include <QtTest>

namespace {

// A packet class of its own, type 0x1013 sub-type 3, whose payload is whatever it was given.
class FixedPacket : public RawDataPacket
{
public:
    explicit FixedPacket(const QByteArray& payload) : m_bytes(payload) {}
    FixedPacket(const QByteArray& frame, const RawDataPacketHeader& header)
        : RawDataPacket(frame, header), m_bytes(payload()) {}
    QByteArray payloadBytes() const override { return m_bytes; }
    quint16 packetType() const override { return 0x1013; }
    quint16 packetSubType() const override { return 3; }

private:
    QByteArray m_bytes;
};

class OtherPacket : public RawDataPacket
{
public:
    QByteArray payloadBytes() const override { return {}; }
    quint16 packetType() const override { return 0x1014; }
};

class FixedPacketReceiver : public RawDataPacketReceiverInterface<FixedPacket>
{
public:
    using RawDataPacketReceiverInterface<FixedPacket>::RawDataPacketReceiverInterface;
    void receiveTypedPacket(std::shared_ptr<FixedPacket> packet) override { received.append(packet); }
    QList<std::shared_ptr<FixedPacket>> received;
};

QList<RawDataPacketReceiverInterfaceBase*> registered(unsigned int key)
{
    return RawDataPacketReceiverInterfaceBase::registry.values(key);
}

} // namespace

class TestRawDataPacket : public QObject
{
    Q_OBJECT

private slots:
    void readHeader_data();
    void readHeader();
    void receivedPacketCopiesOnlyItsPayload();
    void headerComesFromTheClassNotTheReceivedHeader();
    void registryKeepsEveryReceiverOfAKey();
    void typedReceiverGetsEmptyPointerForOtherClasses();
};

void TestRawDataPacket::readHeader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("packetType");
    QTest::addColumn<int>("subType");
    QTest::addColumn<quint32>("payloadLength");
    QTest::addColumn<quint32>("receiverKey");

    const QByteArray empty1013 = QByteArray::fromHex("1013000000000000");
    QTest::newRow("payload length 0 is complete with 8 bytes") << empty1013 << 0x1013 << 0 << 0u << 0x1013u;
    QTest::newRow("first valid id 0x1010") << QByteArray::fromHex("1010000000000000") << 0x1010 << 0 << 0u << 0x1010u;
    QTest::newRow("last valid id 0x1029") << QByteArray::fromHex("1029000000000000") << 0x1029 << 0 << 0u << 0x1029u;
    QTest::newRow("0x102A is invalid") << QByteArray::fromHex("102A000000000000") << 0 << 0 << 0u << 0u;
    QTest::newRow("0x100F is invalid") << QByteArray::fromHex("100F000000000000") << 0 << 0 << 0u << 0u;
    QTest::newRow("type word 1 is invalid, not incomplete") << QByteArray::fromHex("0001000000000000") << 0 << 0 << 0u << 0u;
    QTest::newRow("sub-type and length big-endian") << QByteArray::fromHex("101D000100000002ABCD")
                                                    << 0x101D << 1 << 2u << 0x1101Du;
    QTest::newRow("sub-type 1 of 0x1010 is key 0x11010") << QByteArray::fromHex("1010000100000000")
                                                         << 0x1010 << 1 << 0u << 0x11010u;
    QTest::newRow("payload one byte short is incomplete") << QByteArray::fromHex("10100000000000040A0B0C")
                                                          << 1 << 0 << 4u << 1u;
    QTest::newRow("bytes after the frame do not matter") << QByteArray::fromHex("10100000000000010AFFFF")
                                                         << 0x1010 << 0 << 1u << 0x1010u;
    QTest::newRow("length 0xFFFFFFFF does not wrap") << QByteArray::fromHex("10100000FFFFFFFF0102")
                                                     << 1 << 0 << 0xFFFFFFFFu << 1u;
    QTest::newRow("length 0xFFFFFFF8 does not wrap") << QByteArray::fromHex("10100000FFFFFFF8")
                                                     << 1 << 0 << 0xFFFFFFF8u << 1u;
    for (int size = 0; size < RawDataPacketHeader::SIZE; ++size) {
        QTest::newRow(QByteArray("header cut to " + QByteArray::number(size) + " bytes waits for more").constData())
            << empty1013.left(size) << 1 << 0 << 0u << 1u;
    }
}

void TestRawDataPacket::readHeader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, packetType);

    const RawDataPacketHeader header = ::readHeader(bytes);
    QCOMPARE(int(header.packetType), packetType);
    QTEST(int(header.subType), "subType");
    QTEST(header.payloadLength, "payloadLength");
    QTEST(header.receiverKey(), "receiverKey");

    // A view into a larger buffer must not look past its own end.
    const QByteArray padded = bytes + QByteArray(64, '\0');
    QCOMPARE(int(::readHeader(padded.constData(), bytes.size()).packetType), packetType);
}

void TestRawDataPacket::receivedPacketCopiesOnlyItsPayload()
{
    const QByteArray frame = QByteArray::fromHex("101300030000000361626378797A");
    const FixedPacket packet(frame, ::readHeader(frame));
    QCOMPARE(packet.payload(), QByteArray("abc"));
    QCOMPARE(int(packet.header().packetType), 0x1013);
    QCOMPARE(int(packet.header().subType), 3);
    QCOMPARE(packet.header().payloadLength, 3u);
}

void TestRawDataPacket::headerComesFromTheClassNotTheReceivedHeader()
{
    // Received as 0x1020 with a 5-byte payload; written back as the class says.
    const QByteArray frame = QByteArray::fromHex("10200000000000056869212121");
    const FixedPacket received(frame, ::readHeader(frame));
    const FixedPacket local(QByteArray("hi!!!"));

    for (const RawDataPacket* packet : {static_cast<const RawDataPacket*>(&received), static_cast<const RawDataPacket*>(&local)}) {
        QBuffer device;
        device.open(QIODevice::WriteOnly);
        writePacket(*packet, &device);
        QCOMPARE(device.data().toHex(), QByteArray("10130003000000056869212121"));
    }
    QCOMPARE(headerBytes(local, QByteArray(300, 'x')).toHex(), QByteArray("101300030000012c"));
}

void TestRawDataPacket::registryKeepsEveryReceiverOfAKey()
{
    const unsigned int key = 0x1013 + 65536 * 3;
    QVERIFY(registered(key).isEmpty());
    auto first = std::make_unique<FixedPacketReceiver>(key);
    auto second = std::make_unique<FixedPacketReceiver>(key);
    FixedPacketReceiver elsewhere(0x1013);

    using List = QList<RawDataPacketReceiverInterfaceBase*>;
    QCOMPARE(registered(key), (List{second.get(), first.get()}));
    second.reset();
    QCOMPARE(registered(key), (List{first.get()}));
    first.reset();
    QVERIFY(!RawDataPacketReceiverInterfaceBase::registry.contains(key));
    QCOMPARE(registered(0x1013), (List{&elsewhere}));
}

void TestRawDataPacket::typedReceiverGetsEmptyPointerForOtherClasses()
{
    FixedPacketReceiver receiver(0x1013);
    receiver.receivePacket(std::make_shared<OtherPacket>());
    receiver.receivePacket(std::make_shared<FixedPacket>(QByteArray("x")));
    QCOMPARE(receiver.received.size(), 2);
    QVERIFY(!receiver.received.at(0));
    QCOMPARE(receiver.received.at(1)->payloadBytes(), QByteArray("x"));
}

QTEST_GUILESS_MAIN(TestRawDataPacket)
#include "tst_rawdatapacket.moc"
