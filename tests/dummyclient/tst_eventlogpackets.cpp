#include "ptpeventpacket.h"
#include "testframes.h"
#include "vqclientsequencepackagedlogpackethandler.h"

#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(SerialisableDataPacket)

namespace {

// 4 December 2026, one in the morning.
QJsonObject eventObject(const QString& className, const QJsonObject& members = QJsonObject())
{
    QJsonObject object = members;
    object.insert(QStringLiteral("Class"), className);
    object.insert(QStringLiteral("julianDate"), double(QDate(2026, 12, 4).toJulianDay()));
    object.insert(QStringLiteral("msecsSinceStartOfDay"), 3600 * 1000);
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
    QTest::newRow(row) << carrier(eventObject(QString::fromLatin1(className), members))
                       << DATE_PREFIX + QString::fromUtf8(text);
}

} // namespace

class TestEventLogPackets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eventText_data();
    void eventText();
};

void TestEventLogPackets::initTestCase()
{
    // The text date format names days and months in the locale's language.
    QLocale::setDefault(QLocale::c());
}

void TestEventLogPackets::eventText_data()
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
    addEvent("video standard", "SdiInputVideoStandardChangeEventPacket", {{"standard", "1080p50"}},
             "New SDI video standard 1080p50");

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
    addEvent("sfp", "SfpEventPacket", {{"Sfp", "inserted"}}, "inserted");
    addEvent("scte104", "SCTE104EventPacket", {{"SCTE104", "splice"}}, "splice");
    QTest::newRow("ptp from a date and time")
        << carrier(PtpEventPacket("gm", QDateTime(QDate(2026, 12, 4), QTime(1, 0), Qt::LocalTime)).jsonObject())
        << DATE_PREFIX + "gm";

    const QJsonObject sfp = eventObject(QStringLiteral("SfpEventPacket"), {{"Sfp", "x"}});
    QTest::newRow("carrier of another class") << carrier(sfp, QStringLiteral("SequencePackagedLogPackets")) << QString();
    QTest::newRow("own class name of the alignment event")
        << carrier(eventObject(QStringLiteral("SdiJitterAlignmentRangeConformanceEventPacket"))) << QString();
    QTest::newRow("unknown event class") << carrier(eventObject(QStringLiteral("NoSuchEventPacket"))) << QString();
    QTest::newRow("event class in other case") << carrier(eventObject(QStringLiteral("sfpEventPacket"))) << QString();
    QTest::newRow("logPacket not an object")
        << SerialisableDataPacket(json(R"({"Class": "SequencePackagedLogPacket", "logPacket": "SfpEventPacket"})"))
        << QString();
    QTest::newRow("no logPacket") << SerialisableDataPacket(QStringLiteral("SequencePackagedLogPacket")) << QString();
}

void TestEventLogPackets::eventText()
{
    QFETCH(SerialisableDataPacket, packet);
    QTEST(lineFor(packet), "line");
}

QTEST_GUILESS_MAIN(TestEventLogPackets)
#include "tst_eventlogpackets.moc"
