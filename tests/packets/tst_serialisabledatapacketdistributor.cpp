#include "logcapture.h"
#include "serialisabledatapacketdistributor.h"

#include <QtTest>

#include <functional>
#include <map>

namespace {

const QString NO_ACCEPTORS = QStringLiteral("There are no packet acceptors registered for packets of type ");
const QString REFUSED = QStringLiteral("Could not register packetAcceptor to accept packets of the class ");

class RecordingAcceptor : public SerialisableDataPacketAcceptorInterface
{
public:
    RecordingAcceptor(const QString& name, QStringList* deliveries) : m_name(name), m_deliveries(deliveries) {}

    bool canAcceptPacket(QString className) override { return !refused.contains(className); }
    void acceptPacket(const SerialisableDataPacket& packet) override
    {
        m_deliveries->append(m_name + ":" + packet.className());
        if (onAccept)
            onAccept();
    }

    QStringList refused;
    std::function<void()> onAccept;

private:
    QString m_name;
    QStringList* m_deliveries;
};

} // namespace

class TestSerialisableDataPacketDistributor : public QObject
{
    Q_OBJECT

private slots:
    void dispatch_data();
    void dispatch();
    void listOfNamesRegistersEachInTurn();
    void receivesJsonFramesFromTheRegistry();
    void registrationDuringDispatchWaitsForTheNextPacket();
};

void TestSerialisableDataPacketDistributor::dispatch_data()
{
    // Registrations are "acceptor:class"; a class after "!" is refused by that
    // acceptor; acceptor "null" stands for a null pointer. A null packet class
    // means a packet without "Class".
    QTest::addColumn<QStringList>("registrations");
    QTest::addColumn<QString>("packetClass");
    QTest::addColumn<QStringList>("deliveries");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("two acceptors in registration order") << QStringList{"b:X", "a:X"} << "X"
                                                         << QStringList{"b:X", "a:X"} << QStringList();
    QTest::newRow("same acceptor twice gets it twice") << QStringList{"a:X", "b:X", "a:X"} << "X"
                                                       << QStringList{"a:X", "b:X", "a:X"} << QStringList();
    QTest::newRow("only the packet's class") << QStringList{"a:X", "b:Y"} << "Y" << QStringList{"b:Y"}
                                             << QStringList();
    QTest::newRow("class names are case-sensitive") << QStringList{"a:x"} << "X" << QStringList()
                                                    << QStringList{NO_ACCEPTORS + "X"};
    QTest::newRow("refusal is logged and not registered") << QStringList{"a:!X", "b:X"} << "X"
                                                           << QStringList{"b:X"} << QStringList{REFUSED + "X"};
    QTest::newRow("nobody registered") << QStringList() << "X" << QStringList() << QStringList{NO_ACCEPTORS + "X"};
    QTest::newRow("packet without class") << QStringList{"a:X"} << QString() << QStringList()
                                          << QStringList{NO_ACCEPTORS};
    QTest::newRow("acceptor of the empty name gets classless packets") << QStringList{"a:"} << QString()
                                                                       << QStringList{"a:"} << QStringList();
    QTest::newRow("null acceptor ignored silently") << QStringList{"null:X"} << "X" << QStringList()
                                                    << QStringList{NO_ACCEPTORS + "X"};
}

void TestSerialisableDataPacketDistributor::dispatch()
{
    QFETCH(QStringList, registrations);
    QFETCH(QString, packetClass);

    QStringList deliveries;
    std::map<QString, RecordingAcceptor> acceptors;
    SerialisableDataPacketDistributor distributor;
    LogCapture capture;
    for (const QString& registration : registrations) {
        const QString name = registration.section(':', 0, 0);
        QString className = registration.section(':', 1);
        RecordingAcceptor* acceptor = nullptr;
        if (name != "null")
            acceptor = &acceptors.try_emplace(name, name, &deliveries).first->second;
        if (className.startsWith('!')) {
            className.remove(0, 1);
            acceptor->refused.append(className);
        }
        distributor.registerPacketAcceptor(acceptor, className);
    }

    QJsonObject object{{"Payload", 1}};
    if (!packetClass.isNull())
        object.insert("Class", packetClass);
    distributor.acceptPacket(SerialisableDataPacket(object));
    QTEST(deliveries, "deliveries");
    QTEST(capture.messages(spdlog::level::info), "log");
}

void TestSerialisableDataPacketDistributor::listOfNamesRegistersEachInTurn()
{
    QStringList deliveries;
    RecordingAcceptor acceptor("a", &deliveries);
    acceptor.refused = QStringList{"B"};
    SerialisableDataPacketDistributor distributor;
    LogCapture capture;
    distributor.registerPacketAcceptor(&acceptor, std::deque<QString>{"A", "B", "C"});
    for (const char* name : {"A", "B", "C"})
        distributor.acceptPacket(SerialisableDataPacket(QString(name)));
    QCOMPARE(deliveries, (QStringList{"a:A", "a:C"}));
    QCOMPARE(capture.messages(), (QStringList{REFUSED + "B", NO_ACCEPTORS + "B"}));
}

void TestSerialisableDataPacketDistributor::receivesJsonFramesFromTheRegistry()
{
    QStringList deliveries;
    RecordingAcceptor acceptor("a", &deliveries);
    {
        SerialisableDataPacketDistributor distributor;
        distributor.registerPacketAcceptor(&acceptor, "J");
        const auto receivers = RawDataPacketReceiverInterfaceBase::registry.values(0x1010);
        QCOMPARE(receivers.size(), 1);
        receivers.first()->receivePacket(std::make_shared<SerialisableDataPacket>(QStringLiteral("J")));
        distributor.receiveTypedPacket(nullptr);
    }
    QCOMPARE(deliveries, QStringList{"a:J"});
    QVERIFY(!RawDataPacketReceiverInterfaceBase::registry.contains(0x1010));
}

void TestSerialisableDataPacketDistributor::registrationDuringDispatchWaitsForTheNextPacket()
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

QTEST_GUILESS_MAIN(TestSerialisableDataPacketDistributor)
#include "tst_serialisabledatapacketdistributor.moc"
