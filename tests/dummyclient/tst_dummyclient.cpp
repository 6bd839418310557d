#include "clientdatacore.h"
#include "clientdatacoremonitor.h"
#include "clientdatacoreregistry.h"
#include "dummyclient.h"
#include "dummyclientdatacoreconnectionbuilder.h"
#include "logcapture.h"
#include "networkconnection.h"
#include "ptpeventpacket.h"
#include "serialisabledatapacketdistributor.h"
#include "testframes.h"
#include "vqclientsequencepackagedlogpackethandler.h"

#include <QtTest>

Q_DECLARE_METATYPE(SerialisableDataPacket)

namespace {

const QString EXECUTOR = QStringLiteral("commandCoreRouter/executorCommander");
const QString IGMP = QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion");
const QString SERIAL = QStringLiteral("statusCoreRouter/licenseStatus/serialNumber");

const QString DATE_PREFIX = QStringLiteral("Fri Dec 4 01:00:00 2026 ");

SerialisableDataPacket carrier(const QJsonObject& logPacket)
{
    SerialisableDataPacket packet(QStringLiteral("SequencePackagedLogPacket"));
    packet.jsonObject().insert(QStringLiteral("logPacket"), logPacket);
    return packet;
}

// Dated 4 December 2026, one in the morning; a null text when nothing is emitted.
void addEvent(const char* row, const char* className, QJsonObject members, const char* text)
{
    members.insert(QStringLiteral("Class"), QString::fromLatin1(className));
    members.insert(QStringLiteral("julianDate"), double(QDate(2026, 12, 4).toJulianDay()));
    members.insert(QStringLiteral("msecsSinceStartOfDay"), 3600 * 1000);
    QTest::newRow(row) << carrier(members) << (text ? DATE_PREFIX + QString::fromUtf8(text) : QString());
}

// One call of either update slot, and the lines it logs.
struct Update
{
    bool igmp;
    QStringList data, validationMessages;
    bool active;
    QStringList lines;
};

} // namespace

Q_DECLARE_METATYPE(Update)

// The client, the builder that wires it to its datacores, and the handler of
// the log packets it is sent.
class TestDummyClient : public QObject
{
    Q_OBJECT

private slots:
    void datacoreUpdates_data();
    void datacoreUpdates();
    void wiring();
    void eventText_data();
    void eventText();
};

void TestDummyClient::eventText_data()
{
    QTest::addColumn<SerialisableDataPacket>("packet");
    // Null when the handler emits nothing.
    QTest::addColumn<QString>("line");

    // The ends of the channel and rate tables, and just past each end.
    const char* const rate = "SdiInputRateChangeEventPacket";
    addEvent("rate: last channel and rate", rate, {{"channel", 4}, {"rate", 5}}, "New rate on 2022-6 In - No Signal");
    addEvent("rate: one past the ends", rate, {{"channel", 5}, {"rate", 6}}, "New rate on Error - Unknown");
    addEvent("rate: below the ends", rate, {{"channel", -1}, {"rate", -1}}, "New rate on Error - Unknown");
    addEvent("rate: members missing", rate, {}, "New rate on SDI In A - No Signal");

    // Both kinds share one formatter, and both read the alignment status member.
    const char* const alignment = "SdiJitterTimingAlignmentOutOfRangeEventPacket";
    addEvent("alignment ok, value narrowed to float", alignment,
             {{"alignement_jitter_status", true}, {"alignment_jitter_value", 0.1}}, "Alignment Jitter ok: 0.1");
    addEvent("alignment out, six digits", alignment,
             {{"alignement_jitter_status", false}, {"alignment_jitter_value", 1234567}},
             "Alignment Jitter out of spec: 1.23457e+06");
    addEvent("timing reads the alignment status member", "SdiJitterTimingTimingOutOfRangeEventPacket",
             {{"alignement_jitter_status", true}, {"timing_jitter_status", false}, {"timing_jitter_value", 2}},
             "Timing Jitter ok: 2");

    // Filled in one at a time, a %n in one member would be taken for the next one's place.
    addEvent("rest request", "RestApiRequestEventPacket", {{"rest_method", "%2"}, {"rest_resource", "%1"}},
             "Request %2 for resource %1 received from ");
    QTest::newRow("ptp from a date and time")
        << carrier(PtpEventPacket("gm", QDateTime(QDate(2026, 12, 4), QTime(1, 0), Qt::LocalTime)).jsonObject())
        << DATE_PREFIX + "gm";

    QTest::newRow("another carrier class") << SerialisableDataPacket(json(R"({"Class": "SequencePackagedLogPackets",
        "logPacket": {"Class": "SfpEventPacket", "Sfp": "x"}})")) << QString();
    addEvent("own class name of the alignment event", "SdiJitterAlignmentRangeConformanceEventPacket", {}, nullptr);
    QTest::newRow("logPacket not an object")
        << SerialisableDataPacket(json(R"({"Class": "SequencePackagedLogPacket", "logPacket": "SfpEventPacket"})"))
        << QString();
}

void TestDummyClient::eventText()
{
    QFETCH(SerialisableDataPacket, packet);
    // The text date format names days and months in the locale's language.
    QLocale::setDefault(QLocale::c());
    VqClientSequencePackagedLogPacketHandler handler;
    QSignalSpy spy(&handler, &VqClientSequencePackagedLogPacketHandler::newLogEntry);
    handler.acceptPacket(packet);
    QTEST(spy.isEmpty() ? QString() : spy.takeFirst().at(0).toString(), "line");
}

void TestDummyClient::datacoreUpdates_data()
{
    QTest::addColumn<Update>("update");
    // Validation messages and activity are not looked at for the serial number.
    const QStringList ignored{"Error: ignored"};
    const QString serial = QStringLiteral("Unit serial number is: %1");
    QTest::newRow("serial, first entry") << Update{false, {"-7", "9"}, ignored, false, {serial.arg(-7)}};
    QTest::newRow("serial not a number gives 0") << Update{false, {"12a"}, ignored, false, {serial.arg(0)}};
    QTest::newRow("serial without data logs nothing") << Update{false, {}, ignored, false, {}};

    const QString version = QStringLiteral("IGMP max supported version is: %1");
    QTest::newRow("version from the low 32 bits") << Update{true, {"4294967298"}, {}, true, {version.arg(2)}};
    QTest::newRow("version inactive logs nothing") << Update{true, {"3"}, {}, false, {}};
    QTest::newRow("version without data logs nothing") << Update{true, {}, {}, true, {}};
    QTest::newRow("version not a number logs nothing") << Update{true, {"three"}, {}, true, {}};
    // Looked at before the data and the activity.
    QTest::newRow("messages instead of the version")
        << Update{true, {}, {"Error: bad", "Warning: "}, false, {"Error: bad", "Warning: "}};
}

void TestDummyClient::datacoreUpdates()
{
    QFETCH(Update, update);
    SerialisableDataPacketDistributor distributor;
    DummyClient client(&distributor);
    LogCapture capture;
    if (update.igmp)
        client.fromConfigCoreIgmpMaxVersionUpdated(update.data, update.validationMessages, update.active);
    else
        client.fromStatusCoreLicenseSerialUpdated(update.data, update.validationMessages, update.active);
    QCOMPARE(capture.messages(spdlog::level::info), update.lines);
}

void TestDummyClient::wiring()
{
    // The application's objects around one builder, wired as the application wires them.
    NetworkConnection connection;
    ClientDatacoreRegistry registry(&connection);
    ClientDatacoreMonitor monitor(&connection);
    SerialisableDataPacketDistributor distributor;
    DummyClient client(&distributor);
    DummyClientDatacoreConnectionBuilder builder(&registry);
    connect(&builder, &DatacoreConnectionBuilderBase::connectionToDatacoresGained, &builder,
            [&] { builder.connectDummyClient(&client); }, Qt::DirectConnection);
    QSignalSpy gained(&builder, &DatacoreConnectionBuilderBase::connectionToDatacoresGained);
    distributor.acceptPacket(SerialisableDataPacket(QStringLiteral("ClientServerDatacoreSyncCompletePacket")));
    QVERIFY(client.isSyncComplete());

    // A first tree without the IGMP datacore still wires the rest.
    LogCapture capture;
    registry.createDatacores({SERIAL, EXECUTOR, "configCoreRouter/systemController"}, &monitor);
    registry.lookupDatacore(SERIAL)->setDataString("1");
    QCOMPARE(capture.messages(), (QStringList{"Invalid path, constructed from configCoreRouter and "
                                              "systemController/brevEth0IgmpMaxVersion",
                                              "Unit serial number is: 1"}));
    capture.clear();
    // Lost, and asked again once its datacores are gone, the builder wires nothing.
    emit connection.disconnectedFromHost();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    builder.connectDummyClient(&client);
    emit client.executeCommandWithParameters(QStringLiteral("reboot"));

    // The next tree is wired once.
    registry.createDatacores({EXECUTOR, IGMP, SERIAL}, &monitor);
    builder.connectDummyClient(nullptr);
    QCOMPARE(gained.count(), 2);
    emit client.executeCommandWithParameters("reboot");
    emit client.toConfigCoreIgmpMaxVersionUpdated(3);
    registry.lookupDatacore(SERIAL)->setDataString("1234");
    QCOMPARE(registry.lookupDatacore(EXECUTOR)->data(), QStringList{"reboot"});
    QCOMPARE(capture.messages(), (QStringList{"IGMP max supported version is: 3", "Unit serial number is: 1234"}));
}

QTEST_GUILESS_MAIN(TestDummyClient)
#include "tst_dummyclient.moc"
