#include "clientdatacore.h"
#include "clientdatacoremonitor.h"
#include "clientdatacoreregistry.h"
#include "dummyclient.h"
#include "dummyclientdatacoreconnectionbuilder.h"
#include "logcapture.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString EXECUTOR = QStringLiteral("commandCoreRouter/executorCommander");
const QString IGMP = QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion");
const QString SERIAL = QStringLiteral("statusCoreRouter/licenseStatus/serialNumber");

// The application's objects around one builder, wired as the application wires them.
struct Fixture
{
    Fixture()
    {
        QObject::connect(&builder, &DatacoreConnectionBuilderBase::connectionToDatacoresGained, &builder,
                         [this] { builder.connectDummyClient(&client); }, Qt::DirectConnection);
    }

    ClientDatacore* datacore(const QString& path) { return registry.lookupDatacore(path); }

    NetworkConnection connection;
    ClientDatacoreRegistry registry{&connection};
    ClientDatacoreMonitor monitor{&connection};
    SerialisableDataPacketDistributor distributor;
    DummyClient client{&distributor};
    DummyClientDatacoreConnectionBuilder builder{&registry};
};

} // namespace

class TestConnectionBuilder : public QObject
{
    Q_OBJECT

private slots:
    void lookups_data();
    void lookups();
    void invalidTreeRecordsNothing();
    void repopulationConnectsOnce();
};

void TestConnectionBuilder::lookups_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("warnings");

    QTest::newRow("all three") << QStringList{EXECUTOR, IGMP, SERIAL} << QStringList();
    QTest::newRow("no IGMP datacore")
        << QStringList{EXECUTOR, SERIAL, "configCoreRouter/systemController"}
        << QStringList{"Invalid path, constructed from configCoreRouter and systemController/brevEth0IgmpMaxVersion"};
    QTest::newRow("empty tree") << QStringList()
                                << QStringList{
                                       "Invalid path, constructed from commandCoreRouter and executorCommander",
                                       "Invalid path, constructed from configCoreRouter and systemController/brevEth0IgmpMaxVersion",
                                       "Invalid path, constructed from statusCoreRouter and licenseStatus/serialNumber"};
}

void TestConnectionBuilder::lookups()
{
    QFETCH(QStringList, paths);
    Fixture fixture;
    QSignalSpy gained(&fixture.builder, &DatacoreConnectionBuilderBase::connectionToDatacoresGained);
    LogCapture capture;
    fixture.registry.createDatacores(paths, &fixture.monitor);
    QCOMPARE(gained.count(), 1);
    QTEST(capture.messages(spdlog::level::warn), "warnings");

    std::deque<ClientDatacore*> expected;
    for (const QString& path : {EXECUTOR, IGMP, SERIAL}) {
        if (fixture.datacore(path))
            expected.push_back(fixture.datacore(path));
    }
    QCOMPARE(fixture.builder.connectedDatacores(), expected);

    capture.clear();
    emit fixture.client.executeCommandWithParameters("reboot");
    emit fixture.client.toConfigCoreIgmpMaxVersionUpdated(3);
    if (ClientDatacore* executor = fixture.datacore(EXECUTOR))
        QCOMPARE(executor->data(), QStringList{"reboot"});
    if (ClientDatacore* serial = fixture.datacore(SERIAL))
        serial->setDataString("1234");
    QStringList lines;
    if (fixture.datacore(IGMP)) {
        QCOMPARE(fixture.datacore(IGMP)->data(), QStringList{"3"});
        lines << "IGMP max supported version is: 3";
    }
    if (fixture.datacore(SERIAL))
        lines << "Unit serial number is: 1234";
    QCOMPARE(capture.messages(), lines);
}

void TestConnectionBuilder::invalidTreeRecordsNothing()
{
    Fixture fixture;
    fixture.registry.createDatacores({"configCoreRouter/a"}, &fixture.monitor);
    QCOMPARE(fixture.builder.connectedDatacores().size(), size_t(0));
    LogCapture capture;
    QVERIFY(!fixture.builder.lookupServerDatacore("a", ServerSideDatatree::InvalidTree));
    QVERIFY(!fixture.builder.lookupServerDatacore("a", static_cast<ServerSideDatatree>(7)));
    QCOMPARE(capture.count(spdlog::level::err, "Invalid server side datatree specified"), 2);
    QVERIFY(fixture.builder.connectedDatacores().empty());

    ClientDatacore* a = fixture.datacore("configCoreRouter/a");
    QCOMPARE(fixture.builder.lookupServerDatacore("a", ServerSideDatatree::ConfigTree), a);
    QCOMPARE(fixture.builder.lookupServerDatacore("a", ServerSideDatatree::ConfigTree), a);
    QCOMPARE(fixture.builder.connectedDatacores(), (std::deque<ClientDatacore*>{a, a}));
    QSignalSpy updated(a, &ClientDatacore::datacoreUpdated);
    fixture.builder.populateConnectedDatacores();
    QCOMPARE(updated.count(), 2);
}

void TestConnectionBuilder::repopulationConnectsOnce()
{
    Fixture fixture;
    QSignalSpy lost(&fixture.builder, &DatacoreConnectionBuilderBase::connectionToDatacoresLost);
    fixture.registry.createDatacores({SERIAL, EXECUTOR}, &fixture.monitor);
    emit fixture.connection.disconnectedFromHost();
    QCOMPARE(lost.count(), 1);
    QVERIFY(fixture.builder.connectedDatacores().empty());
    // Asked again once the datacores are gone, the builder wires nothing.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fixture.builder.connectDummyClient(&fixture.client);
    emit fixture.client.executeCommandWithParameters(QStringLiteral("reboot"));

    fixture.registry.createDatacores({SERIAL, IGMP}, &fixture.monitor);
    fixture.builder.connectDummyClient(nullptr);
    LogCapture capture;
    fixture.datacore(SERIAL)->setDataString("77");
    fixture.datacore(IGMP)->setDataString("2");
    QCOMPARE(capture.messages(), (QStringList{"Unit serial number is: 77", "IGMP max supported version is: 2"}));
}

QTEST_GUILESS_MAIN(TestConnectionBuilder)
#include "tst_connectionbuilder.moc"
