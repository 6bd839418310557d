#include "dummyclient.h"
#include "dummypresetpacketdump.h"
#include "logcapture.h"
#include "serialisabledatapacketdistributor.h"

#include <QtTest>

class TestDummyClient : public QObject
{
    Q_OBJECT

private slots:
    void datacoreUpdates_data();
    void datacoreUpdates();
    void packetsByClassName();
};

void TestDummyClient::datacoreUpdates_data()
{
    QTest::addColumn<bool>("igmp");
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QStringList>("validationMessages");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<qint64>("value");

    const auto row = [](const char* name, bool igmp, const QStringList& data, const QStringList& validationMessages,
                        bool active, const QStringList& lines, qint64 value) {
        QTest::newRow(name) << igmp << data << validationMessages << active << lines << value;
    };
    // Validation messages and activity are not looked at for the serial number.
    const QStringList ignored{"Error: ignored"};
    const QString serial = QStringLiteral("Unit serial number is: %1");
    row("serial, first entry", false, {"-7", "9"}, ignored, false, {serial.arg(-7)}, -7);
    row("serial not a number gives 0", false, {"12a"}, ignored, false, {serial.arg(0)}, 0);
    row("serial without data logs nothing", false, {}, ignored, false, {}, 0);

    const QString version = QStringLiteral("IGMP max supported version is: %1");
    row("version from the low 32 bits", true, {"4294967298"}, {}, true, {version.arg(2)}, 2);
    row("version inactive logs nothing", true, {"3"}, {}, false, {}, 0);
    row("version without data logs nothing", true, {}, {}, true, {}, 0);
    row("version not a number logs nothing", true, {"three"}, {}, true, {}, 0);
    // Looked at before the data and the activity.
    row("validation messages instead of the version", true, {}, {"Error: Stored value is bad", "Warning: "}, false,
        {"Error: Stored value is bad", "Warning: "}, 0);
}

void TestDummyClient::datacoreUpdates()
{
    QFETCH(bool, igmp);
    QFETCH(QStringList, data);
    QFETCH(QStringList, validationMessages);
    QFETCH(bool, active);

    SerialisableDataPacketDistributor distributor;
    DummyClient client(&distributor);
    LogCapture capture;
    if (igmp)
        client.fromConfigCoreIgmpMaxVersionUpdated(data, validationMessages, active);
    else
        client.fromStatusCoreLicenseSerialUpdated(data, validationMessages, active);
    QTEST(capture.messages(spdlog::level::info), "lines");
    QTEST(igmp ? qint64(client.igmpMaxVersion()) : qint64(client.serialNumber()), "value");
}

// Sync-complete and the preset packets are known by their exact class names.
void TestDummyClient::packetsByClassName()
{
    SerialisableDataPacketDistributor distributor;
    DummyClient client(&distributor);
    DummyPresetPacketDump dump(&distributor);
    LogCapture capture;
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("PresetInventory")));
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("ClientPresetCollection")));
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("presetInventory")));
    QCOMPARE(capture.messages(),
             QStringList{"There are no packet acceptors registered for packets of type presetInventory"});
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("clientServerDatacoreSyncCompletePacket")));
    QVERIFY(!client.isSyncComplete());
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("ClientServerDatacoreSyncCompletePacket")));
    QVERIFY(client.isSyncComplete());
}

QTEST_GUILESS_MAIN(TestDummyClient)
#include "tst_dummyclient.moc"
