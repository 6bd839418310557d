#include "logcapture.h"
#include "serialisabledatapacketdistributor.h"

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

class TestSerialisableDataPacketDistributor : public QObject
{
    Q_OBJECT

private slots:
    void dispatch_data();
    void dispatch();
    void registrationDuringDispatchWaitsForTheNextPacket();
};

void TestSerialisableDataPacketDistributor::dispatch_data()
{
    // "acceptor:class" registers, "acceptor:!class" is refused by the acceptor,
    // "null:class" passes a null pointer; a null packet class means no "Class".
    QTest::addColumn<QStringList>("registrations");
    QTest::addColumn<QString>("packetClass");
    QTest::addColumn<QStringList>("deliveries");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("registration order") << QStringList{"b:X", "a:X"} << "X" << QStringList{"b:X", "a:X"}
                                        << QStringList();
    QTest::newRow("same acceptor twice") << QStringList{"a:X", "b:X", "a:X"} << "X"
                                         << QStringList{"a:X", "b:X", "a:X"} << QStringList();
    QTest::newRow("case-sensitive names") << QStringList{"a:x", "b:Y"} << "X" << QStringList()
                                          << QStringList{NO_ACCEPTORS + "X"};
    QTest::newRow("refusal logged, not registered") << QStringList{"a:!X", "b:X"} << "X" << QStringList{"b:X"}
                                                     << QStringList{REFUSED + "X"};
    QTest::newRow("packet without class") << QStringList{"a:X"} << QString() << QStringList()
                                          << QStringList{NO_ACCEPTORS};
    QTest::newRow("acceptor of the empty name") << QStringList{"a:"} << QString() << QStringList{"a:"}
                                                << QStringList();
    QTest::newRow("null acceptor ignored") << QStringList{"null:X"} << "X" << QStringList()
                                           << QStringList{NO_ACCEPTORS + "X"};
}

void TestSerialisableDataPacketDistributor::dispatch()
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
