#include "datacorepacket.h"
#include "logcapture.h"
#include "serialisabledatapacketdistributor.h"
#include "testframes.h"

#include <QtTest>

#include <functional>
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
            onAccept();
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
    void writtenBytesAreExact();
    void extract_data();
    void extract();
    void dispatch_data();
    void dispatch();
    void registrationDuringDispatchWaitsForTheNextPacket();
};

void TestSerialisableDataPacket::writtenBytesAreExact()
{
    const SerialisableDataPacket packet(QStringLiteral("A"));
    const QByteArray payload = packet.payloadBytes();
    QCOMPARE(payload, QByteArray::fromHex("0000000D") + QByteArray(R"({"Class":"A"})"));
    QCOMPARE(headerBytes(packet, payload).toHex(), QByteArray("1010000000000011"));

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
    // "null:class" passes a null pointer; a null packet class means no "Class".
    QTest::addColumn<QStringList>("registrations");
    QTest::addColumn<QString>("packetClass");
    QTest::addColumn<QStringList>("deliveries");
    QTest::addColumn<QStringList>("log");

    const auto row = [](const char* name, const QStringList& registrations, const QString& packetClass,
                        const QStringList& deliveries, const QStringList& log) {
        QTest::newRow(name) << registrations << packetClass << deliveries << log;
    };
    row("registration order", {"b:X", "a:X"}, "X", {"b:X", "a:X"}, {});
    row("case-sensitive names", {"a:x", "b:Y"}, "X", {}, {NO_ACCEPTORS + "X"});
    row("refusal logged, not registered", {"a:!X", "b:X"}, "X", {"b:X"}, {REFUSED + "X"});
    row("null acceptor ignored", {"null:X"}, "X", {}, {NO_ACCEPTORS + "X"});
}

void TestSerialisableDataPacket::dispatch()
{
    QFETCH(QStringList, registrations);
    QFETCH(QString, packetClass);
    QStringList deliveries;
    std::map<QString, RecordingAcceptor> acceptors;
    LogCapture capture;
    {
        SerialisableDataPacketDistributor distributor;
        for (const QString& registration : registrations) {
            const QString name = registration.section(':', 0, 0);
            QString className = registration.section(':', 1);
            RecordingAcceptor* acceptor =
                name == "null" ? nullptr : &acceptors.try_emplace(name, name, &deliveries).first->second;
            if (className.startsWith('!'))
                acceptor->refused.append(className.remove(0, 1));
            distributor.registerPacketAcceptor(acceptor, std::deque<QString>{className});
        }
        QJsonObject object{{"Payload", 1}};
        if (!packetClass.isNull())
            object.insert("Class", packetClass);
        // Through the registry, as a received frame arrives.
        const auto receivers = RawDataPacketReceiverInterfaceBase::registry.values(0x1010);
        QCOMPARE(receivers.size(), 1);
        receivers.first()->receivePacket(std::make_shared<SerialisableDataPacket>(object));
        distributor.receiveTypedPacket(nullptr);
    }
    QVERIFY(!RawDataPacketReceiverInterfaceBase::registry.contains(0x1010));
    QTEST(deliveries, "deliveries");
    QTEST(capture.messages(spdlog::level::info), "log");
}

void TestSerialisableDataPacket::registrationDuringDispatchWaitsForTheNextPacket()
{
    QStringList deliveries;
    RecordingAcceptor first("first", &deliveries);
    RecordingAcceptor late("late", &deliveries);
    SerialisableDataPacketDistributor distributor;
    first.onAccept = [&] { distributor.registerPacketAcceptor(&late, "X"); };
    distributor.registerPacketAcceptor(&first, "X");
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("X")));
    QCOMPARE(deliveries, QStringList{"first:X"});
    first.onAccept = nullptr;
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("X")));
    QCOMPARE(deliveries, (QStringList{"first:X", "first:X", "late:X"}));
}

QTEST_GUILESS_MAIN(TestSerialisableDataPacket)
#include "tst_serialisabledatapacket.moc"
