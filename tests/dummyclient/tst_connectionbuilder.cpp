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
    void repopulationConnectsOnce();
};

void TestConnectionBuilder::lookups_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<QStringList>("lines");

    const QString serialLine = QStringLiteral("Unit serial number is: 1234");
    QTest::newRow("all three") << QStringList{EXECUTOR, IGMP, SERIAL} << QStringList()
                               << QStringList{"IGMP max supported version is: 3", serialLine};
    QTest::newRow("no IGMP datacore")
        << QStringList{EXECUTOR, SERIAL, "configCoreRouter/systemController"}
        << QStringList{"Invalid path, constructed from configCoreRouter and systemController/brevEth0IgmpMaxVersion"}
        << QStringList{serialLine};
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

    capture.clear();
    emit fixture.client.executeCommandWithParameters("reboot");
    emit fixture.client.toConfigCoreIgmpMaxVersionUpdated(3);
    fixture.datacore(SERIAL)->setDataString("1234");
    QCOMPARE(fixture.datacore(EXECUTOR)->data(), QStringList{"reboot"});
    QTEST(capture.messages(), "lines");
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
