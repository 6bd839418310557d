#include "ptpeventpacket.h"
#include "sequencepackagedlogpacket.h"
#include "vqclientsequencepackagedlogpackethandler.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(SerialisableDataPacket)

namespace {

// 4 December 2026 as a Julian day.
const qint64 DECEMBER_4_2026 = QDate(2026, 12, 4).toJulianDay();
const int ONE_HOUR = 3600 * 1000;

QJsonObject eventObject(const QString& className, const QJsonObject& members = QJsonObject())
{
    QJsonObject object = members;
    object.insert(QStringLiteral("Class"), className);
    object.insert(QStringLiteral("julianDate"), double(DECEMBER_4_2026));
    object.insert(QStringLiteral("msecsSinceStartOfDay"), ONE_HOUR);
    return object;
}

SerialisableDataPacket carrier(const QJsonObject& logPacket, const QString& carrierClass = QStringLiteral("SequencePackagedLogPacket"))
{
    SerialisableDataPacket packet(carrierClass);
    packet.jsonObject().insert(QStringLiteral("logPacket"), logPacket);
    return packet;
}

// The line the handler emits for one carrier, or a null string when it emits none.
QString lineFor(const SerialisableDataPacket& packet)
{
    VqClientSequencePackagedLogPacketHandler handler;
    QSignalSpy spy(&handler, &VqClientSequencePackagedLogPacketHandler::newLogEntry);
    handler.acceptPacket(packet);
    return spy.isEmpty() ? QString() : spy.takeFirst().at(0).toString();
}

const QString DATE_PREFIX = QStringLiteral("Fri Dec 4 01:00:00 2026 ");

void addEvent(const char* row, const char* className, const QJsonObject& members, const char* text)
{
    QTest::newRow(row) << eventObject(QString::fromLatin1(className), members) << QString::fromUtf8(text);
}

} // namespace

class TestEventLogPackets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eventText_data();
    void eventText();
    void droppedCarriers_data();
    void droppedCarriers();
    void ptpEventFromDateTime();
};

void TestEventLogPackets::initTestCase()
{
    // The text date format names days and months in the locale's language.
    QLocale::setDefault(QLocale::c());
}

void TestEventLogPackets::eventText_data()
{
    QTest::addColumn<QJsonObject>("logPacket");
    QTest::addColumn<QString>("text");

    const char* const rate = "SdiInputRateChangeEventPacket";
    addEvent("rate: channel 1, 3G", rate, {{"channel", 1}, {"rate", 2}}, "New rate on SDI In B - 3G");
    addEvent("rate: channel 0, 12G", rate, {{"channel", 0}, {"rate", 0}}, "New rate on SDI In A - 12G");
    addEvent("rate: channel 4, 270M", rate, {{"channel", 4}, {"rate", 4}}, "New rate on 2022-6 In - 270M");
    addEvent("rate: channel 3, 1.5G", rate, {{"channel", 3}, {"rate", 3}}, "New rate on SDI In D - 1.5G");
    addEvent("rate 5 is no signal", rate, {{"channel", 2}, {"rate", 5}}, "New rate on SDI In C - No Signal");
    addEvent("rate missing is no signal, channel missing is A", rate, {}, "New rate on SDI In A - No Signal");
    addEvent("rate 6 unknown", rate, {{"rate", 6}}, "New rate on SDI In A - Unknown");
    addEvent("rate 9 unknown", rate, {{"rate", 9}}, "New rate on SDI In A - Unknown");
    addEvent("negative rate unknown", rate, {{"rate", -1}}, "New rate on SDI In A - Unknown");
    addEvent("channel 7 error", rate, {{"channel", 7}, {"rate", 1}}, "New rate on Error - 6G");
    addEvent("negative channel error", rate, {{"channel", -1}, {"rate", 1}}, "New rate on Error - 6G");

    const char* const standard = "SdiInputVideoStandardChangeEventPacket";
    addEvent("video standard", standard, {{"standard", "1080p50"}}, "New SDI video standard 1080p50");
    addEvent("video standard not a string", standard, {{"standard", 5}}, "New SDI video standard ");

    const char* const alignment = "SdiJitterTimingAlignmentOutOfRangeEventPacket";
    const char* const timing = "SdiJitterTimingTimingOutOfRangeEventPacket";
    addEvent("alignment ok 0.5", alignment, {{"alignement_jitter_status", true}, {"alignment_jitter_value", 0.5}},
             "Alignment Jitter ok: 0.5");
    addEvent("alignment out, six digits", alignment,
             {{"alignement_jitter_status", false}, {"alignment_jitter_value", 1234567}},
             "Alignment Jitter out of spec: 1.23457e+06");
    addEvent("alignment value missing", alignment, {{"alignement_jitter_status", true}}, "Alignment Jitter ok: 0");
    addEvent("alignment value narrowed to float", alignment,
             {{"alignement_jitter_status", true}, {"alignment_jitter_value", 0.1}}, "Alignment Jitter ok: 0.1");
    addEvent("timing, status missing", timing, {{"timing_jitter_value", 0.25}}, "Timing Jitter out of spec: 0.25");
    addEvent("timing reads the alignment status member", timing,
             {{"alignement_jitter_status", true}, {"timing_jitter_status", false}, {"timing_jitter_value", 2}},
             "Timing Jitter ok: 2");
    addEvent("timing status not a boolean", timing,
             {{"alignement_jitter_status", "true"}, {"timing_jitter_value", 1.5}}, "Timing Jitter out of spec: 1.5");

    const char* const rest = "RestApiRequestEventPacket";
    addEvent("rest request", rest, {{"rest_method", "GET"}, {"rest_resource", "/x"}, {"rest_address", "10.0.0.1"}},
             "Request GET for resource /x received from 10.0.0.1");
    addEvent("rest request without address", rest, {{"rest_method", "GET"}, {"rest_resource", "/x"}},
             "Request GET for resource /x received from ");
    addEvent("rest request with % signs", rest,
             {{"rest_method", "%2"}, {"rest_resource", "%3"}, {"rest_address", "%1"}},
             "Request %2 for resource %3 received from %1");
    addEvent("reference", "ReferenceLockingStandardChangeEventPacket", {{"reference_standard", "PAL"}}, "PAL");
    addEvent("ip tx", "IpTxEventPacket", {{"Ip_Tx", "tx"}}, "tx");
    addEvent("ip rx", "IpRxEventPacket", {{"Ip_Rx", "rx"}}, "rx");
    addEvent("ip interfaces", "IpInterfacesEventPacket", {{"Ip_Interfaces", "eth0 up"}}, "eth0 up");
    addEvent("sfp", "SfpEventPacket", {{"Sfp", "inserted"}}, "inserted");
    addEvent("audio presence", "AudioInputPresenceChangeEventPacket", {{"audio_in_presence", "AES 1"}}, "AES 1");
    addEvent("ptp", "PtpEventPacket", {{"ptp_event", "locked"}}, "locked");
    addEvent("scte104", "SCTE104EventPacket", {{"SCTE104", "splice"}}, "splice");
    addEvent("member missing", "SfpEventPacket", {}, "");
}

void TestEventLogPackets::eventText()
{
    QFETCH(QJsonObject, logPacket);
    QFETCH(QString, text);
    QCOMPARE(lineFor(carrier(logPacket)), DATE_PREFIX + text);
}

void TestEventLogPackets::droppedCarriers_data()
{
    QTest::addColumn<SerialisableDataPacket>("packet");

    const QJsonObject sfp = eventObject(QStringLiteral("SfpEventPacket"), {{"Sfp", "x"}});
    QTest::newRow("carrier of another class") << carrier(sfp, QStringLiteral("SequencePackagedLogPackets"));
    QTest::newRow("own class name of the alignment event")
        << carrier(eventObject(QStringLiteral("SdiJitterAlignmentRangeConformanceEventPacket")));
    QTest::newRow("unknown event class") << carrier(eventObject(QStringLiteral("NoSuchEventPacket")));
    QTest::newRow("empty event class") << carrier(eventObject(QString()));
    QTest::newRow("event class not a string") << carrier(QJsonObject{{"Class", 3}});
    QTest::newRow("event class in other case") << carrier(eventObject(QStringLiteral("sfpEventPacket")));
    SerialisableDataPacket notAnObject(QStringLiteral("SequencePackagedLogPacket"));
    notAnObject.jsonObject().insert(QStringLiteral("logPacket"), QStringLiteral("SfpEventPacket"));
    QTest::newRow("logPacket not an object") << notAnObject;
    QTest::newRow("no logPacket") << SerialisableDataPacket(QStringLiteral("SequencePackagedLogPacket"));
}

void TestEventLogPackets::droppedCarriers()
{
    QFETCH(SerialisableDataPacket, packet);
    QVERIFY(lineFor(packet).isNull());
}

void TestEventLogPackets::ptpEventFromDateTime()
{
    const QDateTime when(QDate(2026, 12, 4), QTime(5, 0, 0), Qt::LocalTime);
    const PtpEventPacket ptp(QStringLiteral("grandmaster changed"), when);
    QCOMPARE(ptp.className(), QStringLiteral("PtpEventPacket"));
    QCOMPARE(ptp.jsonObject().value(QStringLiteral("julianDate")).toDouble(), double(DECEMBER_4_2026));
    QCOMPARE(ptp.jsonObject().value(QStringLiteral("msecsSinceStartOfDay")).toInt(), 5 * ONE_HOUR);

    SequencePackagedLogPacket packet;
    packet.setLogPacket(ptp);
    // Through the wire form, as the server would send it.
    const SerialisableDataPacket received(QJsonDocument::fromJson(packet.jsonText()).object());
    QCOMPARE(lineFor(received), QStringLiteral("Fri Dec 4 05:00:00 2026 grandmaster changed"));

    const PtpEventPacket noTime(QStringLiteral("x"), QDateTime(QDate(2026, 12, 4), QTime(), Qt::LocalTime));
    QCOMPARE(noTime.jsonObject().value(QStringLiteral("msecsSinceStartOfDay")).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestEventLogPackets)
#include "tst_eventlogpackets.moc"
