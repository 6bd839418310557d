#include "dummyclient.h"
#include "dummypresetpacketdump.h"
#include "logcapture.h"
#include "serialisabledatapacketdistributor.h"

#include <QSignalSpy>
#include <QtTest>

class TestDummyClient : public QObject
{
    Q_OBJECT

private slots:
    void serialNumber_data();
    void serialNumber();
    void igmpMaxVersion_data();
    void igmpMaxVersion();
    void syncComplete();
    void presetsAcceptedSilently();
};

void TestDummyClient::serialNumber_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("serial");

    QTest::newRow("number") << QStringList{"12345"} << QStringList{"Unit serial number is: 12345"} << 12345;
    QTest::newRow("not a number gives 0") << QStringList{"12a"} << QStringList{"Unit serial number is: 0"} << 0;
    QTest::newRow("negative") << QStringList{"-7", "9"} << QStringList{"Unit serial number is: -7"} << -7;
    QTest::newRow("beyond 32 bits gives 0") << QStringList{"4294967296"} << QStringList{"Unit serial number is: 0"} << 0;
    QTest::newRow("no data logs nothing") << QStringList() << QStringList() << 0;
}

void TestDummyClient::serialNumber()
{
    QFETCH(QStringList, data);
    QFETCH(QStringList, lines);
    QFETCH(int, serial);

    SerialisableDataPacketDistributor distributor;
    DummyClient client(&distributor);
    LogCapture capture;
    // Validation messages and activity are not looked at for the serial number.
    client.fromStatusCoreLicenseSerialUpdated(data, {QStringLiteral("Error: ignored")}, false);
    QCOMPARE(capture.messages(spdlog::level::info), lines);
    QCOMPARE(client.serialNumber(), serial);
}

void TestDummyClient::igmpMaxVersion_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QStringList>("validationMessages");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<uint>("version");

    QTest::newRow("version 3") << QStringList{"3"} << QStringList() << true
                               << QStringList{"IGMP max supported version is: 3"} << 3u;
    QTest::newRow("inactive logs nothing") << QStringList{"3"} << QStringList() << false << QStringList() << 0u;
    QTest::newRow("no data logs nothing") << QStringList() << QStringList() << true << QStringList() << 0u;
    QTest::newRow("not a number logs nothing") << QStringList{"three"} << QStringList() << true << QStringList() << 0u;
    QTest::newRow("low 32 bits of a 64-bit value")
        << QStringList{"4294967298"} << QStringList() << true << QStringList{"IGMP max supported version is: 2"} << 2u;
    QTest::newRow("validation messages instead of the version")
        << QStringList{"3"} << QStringList{"Error: Stored value is bad", "Warning: "} << true
        << QStringList{"Error: Stored value is bad", "Warning: "} << 0u;
    QTest::newRow("validation messages while inactive")
        << QStringList() << QStringList{"Info: x"} << false << QStringList{"Info: x"} << 0u;
}

void TestDummyClient::igmpMaxVersion()
{
    QFETCH(QStringList, data);
    QFETCH(QStringList, validationMessages);
    QFETCH(bool, active);
    QFETCH(QStringList, lines);
    QFETCH(uint, version);

    SerialisableDataPacketDistributor distributor;
    DummyClient client(&distributor);
    LogCapture capture;
    client.fromConfigCoreIgmpMaxVersionUpdated(data, validationMessages, active);
    QCOMPARE(capture.messages(spdlog::level::info), lines);
    QCOMPARE(client.igmpMaxVersion(), version);
}

void TestDummyClient::syncComplete()
{
    SerialisableDataPacketDistributor distributor;
    DummyClient client(&distributor);
    QVERIFY(!client.isSyncComplete());
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("clientServerDatacoreSyncCompletePacket")));
    QVERIFY(!client.isSyncComplete());
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("ClientServerDatacoreSyncCompletePacket")));
    QVERIFY(client.isSyncComplete());
}

void TestDummyClient::presetsAcceptedSilently()
{
    SerialisableDataPacketDistributor distributor;
    DummyPresetPacketDump dump(&distributor);
    QVERIFY(!dump.canAcceptPacket(QStringLiteral("presetInventory")));
    QVERIFY(!dump.canAcceptPacket(QStringLiteral("CLIENTPRESETCOLLECTION")));

    LogCapture capture;
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("PresetInventory")));
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("ClientPresetCollection")));
    QVERIFY(capture.messages().isEmpty());
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("presetInventory")));
    QCOMPARE(capture.messages(), QStringList{"There are no packet acceptors registered for packets of type presetInventory"});
}

QTEST_GUILESS_MAIN(TestDummyClient)
#include "tst_dummyclient.moc"
