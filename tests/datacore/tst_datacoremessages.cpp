#include "datacoreactivestatusmessage.h"
#include "datacorejsonmessage.h"
#include "datacorevalidstatusmessage.h"
#include "logcapture.h"
#include "testframes.h"

#include <QJsonDocument>
#include <QtTest>

#include <climits>

namespace {

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
    void parseMixedArray();
};

void TestDatacoreMessages::texts_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QByteArray>("messageBase");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("identifier");
    QTest::addColumn<QString>("text");

    auto row = [](const QString& className, int identifier, const char* text) {
        const QByteArray tag = className.toLatin1() + ' ' + QByteArray::number(identifier);
        QTest::newRow(tag.constData()) << className << R"({"type":1,"identifier":)" + QByteArray::number(identifier) + "}"
                                       << 1 << identifier << QString(text);
    };
    // The ends of each table and the gaps in it: the entries between are one lookup.
    row(JSON, 0, "Datacore path could not be resolved");
    row(JSON, 6, "MessageContentJsonDoesNotContainDatacoreElementKey");
    row(ACTIVE, 2, "Command Executor is Busy");
    row(ACTIVE, 5, "One or more child datacores are invalid.");
    for (int identifier : {-1, 1, 45, 49})
        row(VALID, identifier, "");
    row(VALID, 2, "Stored integer is Oversized");
    row(VALID, 48, "Bouncing box not supported for Level B mapping structure II, III, IV");
    // Numbers: integral ones within int range, else 0; missing ones keep the defaults.
    QTest::newRow("neither number") << ACTIVE << QByteArray("{}") << 3 << -1 << QString();
    QTest::newRow("non-numbers") << ACTIVE << QByteArray(R"({"type":"2","identifier":null})") << 0 << 0 << QString();
    QTest::newRow("both ends of the int range")
        << ACTIVE << QByteArray(R"({"type":-2147483648,"identifier":2147483647})") << int(INT_MIN) << int(INT_MAX)
        << QString();
    QTest::newRow("fraction and out of range") << ACTIVE << QByteArray(R"({"type":1.5,"identifier":1e12})") << 0 << 0
                                               << QString();
}

void TestDatacoreMessages::texts()
{
    QFETCH(QString, className);
    QFETCH(QByteArray, messageBase);
    QFETCH(QString, text);

    const QJsonObject object = json(R"({")" + className.toLatin1() + R"(":{},"MessageBase":)" + messageBase + "}");
    const auto parsed = parseSerialisedMessages(QJsonArray{object});
    QCOMPARE(int(parsed.size()), 1);
    const MessageBase& message = *parsed.front();
    QTEST(message.type(), "type");
    QTEST(message.identifier(), "identifier");
    QCOMPARE(message.text(), text);
    QCOMPARE(message.hasText(), !text.isEmpty());
}

void TestDatacoreMessages::parseMixedArray()
{
    LogCapture capture;
    const QJsonArray array = QJsonDocument::fromJson(R"([
        {"MessageBase": {"type": 2, "identifier": 10}, "DatacoreValidStatusMessage": {}},
        "a string",
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
             (QStringList{"Not a serialised object, of QJson type: 3",
                          "Not recognised as a serialised message: identifiertype",
                          "Unsupported message type: ExtraMessageBaseOtherMessage"}));
}

QTEST_GUILESS_MAIN(TestDatacoreMessages)
#include "tst_datacoremessages.moc"
