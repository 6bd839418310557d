#include "datacoreactivestatusmessage.h"
#include "datacorejsonmessage.h"
#include "datacorevalidstatusmessage.h"
#include "logcapture.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject json(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

QJsonObject serialised(const QString& className, int type, int identifier)
{
    return json(QStringLiteral(R"({"MessageBase":{"type":%1,"identifier":%2},"%3":{}})")
                    .arg(type)
                    .arg(identifier)
                    .arg(className)
                    .toUtf8());
}

const QString JSON = QStringLiteral("DatacoreJsonMessage");
const QString VALID = QStringLiteral("DatacoreValidStatusMessage");
const QString ACTIVE = QStringLiteral("DatacoreActiveStatusMessage");

} // namespace

class TestDatacoreMessages : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void reading_data();
    void reading();
    void factoriesWithoutTheirKey();
    void writtenForm();
    void parseMixedArray();
    void equalsIgnoresClass();
};

void TestDatacoreMessages::texts_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("identifier");
    QTest::addColumn<QString>("text");

    auto row = [](const QString& className, int identifier, const char* text) {
        const QByteArray tag = className.toLatin1() + ' ' + QByteArray::number(identifier);
        QTest::newRow(tag.constData()) << className << identifier << QString(text);
    };
    for (int identifier : {-1, 7})
        row(JSON, identifier, "");
    row(JSON, 0, "Datacore path could not be resolved");
    row(JSON, 1, "Badly formed path");
    row(JSON, 2, "New data class name does not match destination class name");
    row(JSON, 3, "New data instance name does not match destination instance name");
    row(JSON, 4, "Path could not be resolved");
    row(JSON, 5, "MessageContentPathDoesNotEndAtDatacoreElementLeafNode");
    row(JSON, 6, "MessageContentJsonDoesNotContainDatacoreElementKey");

    for (int identifier : {-1, 0, 1, 6, 7})
        row(ACTIVE, identifier, "");
    row(ACTIVE, 2, "Command Executor is Busy");
    row(ACTIVE, 3, "There is not currently any need for this datacore, its value is meaningless and probably "
                   "represents data that doesn't exist yet!");
    row(ACTIVE, 4, "Parameter not supported for current video standard");
    row(ACTIVE, 5, "One or more child datacores are invalid.");

    for (int identifier : {-1, 0, 1, 45, 46, 49, 1000000})
        row(VALID, identifier, "");
    row(VALID, 2, "Stored integer is Oversized");
    row(VALID, 3, "Stored integer is Undersized");
    row(VALID, 4, "Stored number is Oversized");
    row(VALID, 5, "Stored number is Undersized");
    row(VALID, 6, "Stored value could not be deserialised into the specified integral type");
    row(VALID, 7, "Stored value could not be deserialised into the specified floating point type");
    row(VALID, 8, "Stored value could not be deserialised into type int");
    row(VALID, 9, "Stored value could not be deserialised into valid enum value");
    row(VALID, 10, "Stored value could not be deserialised into type boolean");
    row(VALID, 11, "Stored value could not be deserialised into type VideoStandardUserDescription");
    row(VALID, 12, "Stored value could not be deserialised into type FalseColourOverlayRangesSummaryStruct");
    row(VALID, 13, "Stored value could not be deserialised into type SfpData");
    row(VALID, 14, "Stored value could not be deserialised into type ActivePictureCrcValuesList");
    row(VALID, 15, "Stored value could not be deserialised into GrandmasterInfo");
    row(VALID, 16, "Stored value could not be deserialised into AudioFlowChannelsStructList");
    row(VALID, 17, "Stored value could not be deserialised into AudioFlowDataList");
    row(VALID, 18, "Stored value could not be deserialised into PTP Monitoring data");
    row(VALID, 19, "Stored value could not be deserialised into GPIO Config data");
    row(VALID, 20, "Stored value could not be deserialised into desired type");
    row(VALID, 21, "Stored Array has too few items");
    row(VALID, 22, "Stored Array has too many items");
    row(VALID, 23, "Stored Array contains duplicate items");
    row(VALID, 24, "The picture extends beyond the viewable area");
    row(VALID, 25, "The payload identifier is required and is missing");
    row(VALID, 26, "The stored value is not supported");
    row(VALID, 27, "The current configuration is in an invalid state");
    row(VALID, 28, "Not enouch space in active line for pathological pairs");
    row(VALID, 29, "Stored value could not be deserialised into type VideoStandard");
    row(VALID, 30, "Stored value could not be deserialised into type VideoStandard 2110");
    row(VALID, 31, "IpV4 Address is '0.0.0.0' which is considered invalid");
    row(VALID, 32, "Invalid Mac address");
    row(VALID, 33, "IpV4 address outside multicast range of 224.0.0.0 to 239.255.255.255");
    row(VALID, 34, "IPV4 address in reserved range of multicast address space (224.0.0.0 to 224.0.1.255)");
    row(VALID, 35, "IPV4 address inside range of multicast address space (224.0.0.0 to 239.255.255.255)");
    row(VALID, 36, "Inter packet distribution range is not valid for the current standard");
    row(VALID, 37, "Single line trigger not supported for level B");
    row(VALID, 38, "Single field trigger not supported for progressive");
    row(VALID, 39, "Driver A requires recalibration and Vq restart");
    row(VALID, 40, "Jitter lock failed");
    row(VALID, 41, "Jitter measurement unreliable (H)");
    row(VALID, 42, "Jitter measurement unreliable (L)");
    row(VALID, 43, "2110 Video standard parameters are invalid");
    row(VALID, 44, "Packets per marker bit not stable, 2110-21 will not function correctly");
    row(VALID, 47, "25G SFPs are not supported on this Vq device");
    row(VALID, 48, "Bouncing box not supported for Level B mapping structure II, III, IV");
}

void TestDatacoreMessages::texts()
{
    QFETCH(QString, className);
    QFETCH(int, identifier);
    QFETCH(QString, text);

    // Parsed from its JSON form, and written back and parsed again.
    const auto parsed = parseSerialisedMessages(QJsonArray{serialised(className, 1, identifier)});
    QCOMPARE(int(parsed.size()), 1);
    const MessageBase& message = *parsed.front();
    QCOMPARE(message.className(), className);
    QCOMPARE(message.identifier(), identifier);
    QCOMPARE(message.text(), text);
    QCOMPARE(message.hasText(), !text.isEmpty());
    const auto again = parseSerialisedMessages(QJsonArray{message.toJson()});
    QCOMPARE(again.front()->className(), className);
    QVERIFY(again.front()->equals(message));
}

void TestDatacoreMessages::reading_data()
{
    QTest::addColumn<QByteArray>("messageBase");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("identifier");

    QTest::newRow("both numbers") << QByteArray(R"({"type":1,"identifier":-7})") << 1 << -7;
    QTest::newRow("neither number") << QByteArray("{}") << 3 << -1;
    QTest::newRow("not an object") << QByteArray("[1,2]") << 3 << -1;
    QTest::newRow("non-numbers read as 0") << QByteArray(R"({"type":"2","identifier":null})") << 0 << 0;
    QTest::newRow("fraction and out of range read as 0") << QByteArray(R"({"type":1.5,"identifier":1e12})") << 0 << 0;
}

void TestDatacoreMessages::reading()
{
    QFETCH(QByteArray, messageBase);
    const QJsonObject object = json(R"({"DatacoreActiveStatusMessage":{},"MessageBase":)" + messageBase + "}");
    const DatacoreActiveStatusMessage message = DatacoreActiveStatusMessage::fromJson(object);
    QTEST(message.type(), "type");
    QTEST(message.identifier(), "identifier");
}

void TestDatacoreMessages::factoriesWithoutTheirKey()
{
    LogCapture capture;
    const QJsonObject object = serialised(ACTIVE, 2, 5);
    const DatacoreValidStatusMessage valid = DatacoreValidStatusMessage::fromJson(object);
    QCOMPARE(valid.type(), 3);
    QCOMPARE(valid.identifier(), 0);
    const DatacoreActiveStatusMessage active = DatacoreActiveStatusMessage::fromJson(serialised(VALID, 2, 5));
    QCOMPARE(active.type(), 3);
    QCOMPARE(active.identifier(), 0);
    QVERIFY(capture.messages().isEmpty());

    const DatacoreJsonMessage message = DatacoreJsonMessage::fromJson(object);
    QCOMPARE(message.type(), 3);
    QCOMPARE(message.identifier(), -1);
    const QString expected = QStringLiteral("Failed to construct a DatacoreJsonMessage from ")
        + QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
    QCOMPARE(capture.messages(spdlog::level::info), QStringList{expected});
}

void TestDatacoreMessages::writtenForm()
{
    const QJsonObject written = DatacoreValidStatusMessage(2, 10).toJson();
    QCOMPARE(QJsonDocument(written).toJson(QJsonDocument::Compact),
             QByteArray("{\"DatacoreValidStatusMessage\":{},\"MessageBase\":{\"identifier\":10,\"type\":2}}"));
}

void TestDatacoreMessages::parseMixedArray()
{
    LogCapture capture;
    const QJsonArray array = QJsonDocument::fromJson(R"([
        {"MessageBase": {"type": 2, "identifier": 10}, "DatacoreValidStatusMessage": {}},
        "a string",
        7,
        {"type": 2, "identifier": 3},
        {"MessageBase": {}, "OtherMessage": {}, "Extra": 1},
        {"MessageBase": {"identifier": 4}, "DatacoreValidStatusMessage": {}, "DatacoreJsonMessage": {}},
        {"MessageBase": {"identifier": 2}, "DatacoreActiveStatusMessage": {}}
    ])").array();

    const auto messages = parseSerialisedMessages(array);
    QStringList classes;
    for (const auto& message : messages)
        classes << message->className() + QLatin1Char(' ') + QString::number(message->identifier());
    QCOMPARE(classes, (QStringList{VALID + " 10", JSON + " 4", ACTIVE + " 2"}));
    QCOMPARE(capture.messages(spdlog::level::info),
             (QStringList{"Not a serialised object, of QJson type: 3", "Not a serialised object, of QJson type: 2",
                          "Not recognised as a serialised message: identifiertype",
                          "Unsupported message type: ExtraMessageBaseOtherMessage"}));
}

void TestDatacoreMessages::equalsIgnoresClass()
{
    const DatacoreValidStatusMessage valid(2, 5);
    QVERIFY(valid.equals(DatacoreActiveStatusMessage(2, 5)));
    QVERIFY(valid.equals(DatacoreJsonMessage(2, 5)));
    QVERIFY(!valid.equals(DatacoreValidStatusMessage(1, 5)));
    QVERIFY(!valid.equals(DatacoreValidStatusMessage(2, 6)));
}

QTEST_GUILESS_MAIN(TestDatacoreMessages)
#include "tst_datacoremessages.moc"
