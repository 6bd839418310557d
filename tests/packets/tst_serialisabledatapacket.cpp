#include "datacorepacket.h"
#include "logcapture.h"
#include "serialisabledatapacketdistributor.h"
#include "testframes.h"

#include <QtTest>

#include <map>

namespace {

const QString NO_ACCEPTORS = QStringLiteral("There are no packet acceptors registered for packets of type ");
const QString REFUSED = QStringLiteral("Could not register packetAcceptor to accept packets of the class ");

struct RecordingAcceptor : SerialisableDataPacketAcceptorInterface
{
    RecordingAcceptor(const QString& name, QStringList* deliveries) : name(name), deliveries(deliveries) {}
    bool canAcceptPacket(QString className) override { return !refused.contains(className); }
    void acceptPacket(const SerialisableDataPacket& packet) override
    {
        deliveries->append(name + ":" + packet.className());
        if (onAccept)
            std::exchange(onAccept, nullptr)();
    }

    QString name;
    QStringList* deliveries;
    QStringList refused;
    std::function<void()> onAccept;
};

} // namespace

class TestSerialisableDataPacket : public QObject
{
    Q_OBJECT

private slots:
    void readHeader_data();
    void readHeader();
    void writtenBytesAreExact();
    void extract_data();
    void extract();
    void dispatch_data();
    void dispatch();
};

void TestSerialisableDataPacket::readHeader_data()
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
    QTest::newRow("length 0xFFFFFFF8 does not wrap") << QByteArray::fromHex("10100000FFFFFFF8") << 1 << 0xFFFFFFF8u << 1u;
    for (int size = 0; size < RawDataPacketHeader::SIZE; ++size)
        QTest::newRow(QByteArray("cut to " + QByteArray::number(size)).constData()) << empty.left(size) << 1 << 0u << 1u;
}

void TestSerialisableDataPacket::readHeader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, packetType);

    const RawDataPacketHeader header = ::readHeader(bytes);
    QCOMPARE(int(header.packetType), packetType);
    QTEST(header.payloadLength, "payloadLength");
    QTEST(header.receiverKey(), "receiverKey");
    // A view into a larger buffer must not look past its own end.
    QCOMPARE(int(::readHeader((bytes + QByteArray(64, '\0')).constData(), bytes.size()).packetType), packetType);
}

void TestSerialisableDataPacket::writtenBytesAreExact()
{
    const SerialisableDataPacket packet(QStringLiteral("A"));
    const QByteArray payload = packet.payloadBytes();
    QCOMPARE(payload, QByteArray::fromHex("0000000D") + QByteArray(R"({"Class":"A"})"));

    // Received under another header, with 2 bytes of the next frame after its
    // payload; written with the header its class gives.
    const QByteArray frame = rawFrame(0x1020, 3, payload) + "xy";
    const SerialisableDataPacket received(frame, ::readHeader(frame));
    QCOMPARE(received.payload(), payload);
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    writePacket(received, &device);
    QCOMPARE(device.data().toHex(), (QByteArray::fromHex("1010000000000011") + payload).toHex());

    SerialisableDataPacket parent(QStringLiteral("P"));
    parent.insertPacketArray("list", {SerialisableDataPacket(QStringLiteral("Z")), packet});
    parent.insertPacket("one", packet);
    QCOMPARE(parent.jsonText(), QByteArray(R"({"Class":"P","list":[{"Class":"Z"},{"Class":"A"}],"one":{"Class":"A"}})"));

    const DatacorePacket datacore(QStringLiteral("213070643350000"), 7, QJsonObject{{"n", QJsonObject()}},
                                  QStringLiteral("configCoreRouter/n"));
    QCOMPARE(datacore.jsonText(), QByteArray(R"({"Class":"DatacorePacket","ClientID":"213070643350000",)"
                                             R"("Datacore":{"n":{}},"PacketID":7,"Path":"configCoreRouter/n"})"));
}

void TestSerialisableDataPacket::extract_data()
{
    // Each parent holds its test value under "k"; extractPacket and
    // extractPacketArray both read it.
    QTest::addColumn<QByteArray>("parent");
    QTest::addColumn<bool>("packetOk");
    QTest::addColumn<bool>("arrayOk");
    QTest::addColumn<QStringList>("classNames");

    const auto row = [](const char* name, const char* parent, bool packetOk, bool arrayOk, const QStringList& names) {
        QTest::newRow(name) << QByteArray(parent) << packetOk << arrayOk << names;
    };
    row("object with a class", R"({"k":{"Class":"C","v":1}})", true, false, {});
    row("class is a number", R"({"k":{"Class":3}})", false, false, {});
    row("key missing", R"({"K":{"Class":"C"}})", false, false, {});
    row("A, 5, empty class, B", R"({"k":[{"Class":"A"},5,{"Class":""},{"Class":"B"}]})", false, false, {"A", "B"});
    row("all good", R"({"k":[{"Class":"B"},{"Class":"A"}]})", false, true, {"B", "A"});
}

void TestSerialisableDataPacket::extract()
{
    QFETCH(QByteArray, parent);
    QFETCH(bool, packetOk);
    QFETCH(QStringList, classNames);

    const SerialisableDataPacket packet = SerialisableDataPacket(json(parent));
    bool ok = !packetOk;
    const SerialisableDataPacket inner = SerialisableDataPacket::extractPacket(packet, "k", &ok);
    QCOMPARE(ok, packetOk);
    QCOMPARE(inner.jsonObject(), packetOk ? packet.jsonObject().value("k").toObject() : QJsonObject());

    QStringList names;
    for (const SerialisableDataPacket& element : packet.extractPacketArray("k", &ok))
        names.append(element.className());
    QTEST(ok, "arrayOk");
    QCOMPARE(names, classNames);
}

void TestSerialisableDataPacket::dispatch_data()
{
    // "acceptor:class" registers, "acceptor:!class" is refused by the acceptor,
    // "acceptor:class>other" registers other on its first delivery, "null:class"
    // passes a null pointer. Two packets of class X are sent.
    QTest::addColumn<QStringList>("registrations");
    QTest::addColumn<QStringList>("deliveries");
    QTest::addColumn<QStringList>("log");

    const auto row = [](const char* name, const QStringList& registrations, const QStringList& deliveries,
                        const QStringList& log) { QTest::newRow(name) << registrations << deliveries << log; };
    row("registration order, one made in dispatch waits for the next packet", {"b:X", "a:X>late"},
        {"b:X", "a:X", "b:X", "a:X", "late:X"}, {});
    row("case-sensitive names", {"a:x", "b:Y"}, {}, {NO_ACCEPTORS + "X", NO_ACCEPTORS + "X"});
    row("refusal logged, not registered", {"a:!X", "b:X"}, {"b:X", "b:X"}, {REFUSED + "X"});
    row("null acceptor ignored", {"null:X"}, {}, {NO_ACCEPTORS + "X", NO_ACCEPTORS + "X"});
}

void TestSerialisableDataPacket::dispatch()
{
    QFETCH(QStringList, registrations);
    QStringList deliveries;
    std::map<QString, RecordingAcceptor> acceptors;
    LogCapture capture;
    {
        SerialisableDataPacketDistributor distributor;
        for (const QString& registration : registrations) {
            const QString name = registration.section(':', 0, 0);
            QString className = registration.section(':', 1).section('>', 0, 0);
            const QString late = registration.section('>', 1);
            RecordingAcceptor* acceptor =
                name == "null" ? nullptr : &acceptors.try_emplace(name, name, &deliveries).first->second;
            if (className.startsWith('!'))
                acceptor->refused.append(className.remove(0, 1));
            if (!late.isEmpty()) {
                RecordingAcceptor* other = &acceptors.try_emplace(late, late, &deliveries).first->second;
                acceptor->onAccept = [&distributor, other, className] {
                    distributor.registerPacketAcceptor(other, className);
                };
            }
            distributor.registerPacketAcceptor(acceptor, std::deque<QString>{className});
        }
        const QJsonObject object{{"Class", "X"}, {"Payload", 1}};
        // Through the registry, as a received frame arrives.
        const auto receivers = RawDataPacketReceiverInterfaceBase::registry.values(0x1010);
        QCOMPARE(receivers.size(), 1);
        for (int i = 0; i < 2; ++i)
            receivers.first()->receivePacket(std::make_shared<SerialisableDataPacket>(object));
        distributor.receiveTypedPacket(nullptr);
    }
    QVERIFY(!RawDataPacketReceiverInterfaceBase::registry.contains(0x1010));
    QTEST(deliveries, "deliveries");
    QTEST(capture.messages(spdlog::level::info), "log");
}

QTEST_GUILESS_MAIN(TestSerialisableDataPacket)
#include "tst_serialisabledatapacket.moc"
