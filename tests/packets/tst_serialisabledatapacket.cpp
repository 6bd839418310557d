#include "datacorepacket.h"
#include "logcapture.h"
#include "serialisabledatapacket.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QtTest>

#include <sstream>

namespace {

QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

QByteArray frameWithPayload(const QByteArray& payload)
{
    QByteArray frame = QByteArray::fromHex("10100000");
    const quint32 length = quint32(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.append(char((length >> shift) & 0xFF));
    return frame + payload;
}

QStringList classNames(const std::vector<SerialisableDataPacket>& packets)
{
    QStringList names;
    for (const SerialisableDataPacket& packet : packets)
        names.append(packet.className());
    return names;
}

} // namespace

class TestSerialisableDataPacket : public QObject
{
    Q_OBJECT

private slots:
    void oneCharacterClassIsByteExact();
    void datacorePacketIsByteExact();
    void receivedFrame_data();
    void receivedFrame();
    void writtenFrameReadsBack();
    void textConstructor_data();
    void textConstructor();
    void emptyClassNameIsRefused();
    void extractPacket_data();
    void extractPacket();
    void extractPacketArray_data();
    void extractPacketArray();
    void insertedArrayKeepsOrder();
    void datacoreGetters_data();
    void datacoreGetters();
    void logArgumentIsIndentedJson();
};

void TestSerialisableDataPacket::oneCharacterClassIsByteExact()
{
    const SerialisableDataPacket packet(QStringLiteral("A"));
    const QByteArray payload = packet.payloadBytes();
    QCOMPARE(payload, QByteArray::fromHex("0000000D") + QByteArray("{\"Class\":\"A\"}"));
    QCOMPARE(headerBytes(packet, payload).toHex(), QByteArray("1010000000000011"));
}

void TestSerialisableDataPacket::datacorePacketIsByteExact()
{
    const DatacorePacket packet(QStringLiteral("213070643350000"), 7, object(R"({"n":{"data":"1"}})"),
                                QStringLiteral("configCoreRouter/n"));
    QCOMPARE(packet.jsonText(),
             QByteArray(R"({"Class":"DatacorePacket","ClientID":"213070643350000","Datacore":{"n":{"data":"1"}},)"
                        R"("PacketID":7,"Path":"configCoreRouter/n"})"));
}

void TestSerialisableDataPacket::receivedFrame_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("parseFailures");

    const QByteArray text = R"({"Class":"A","x":[1,2]})";
    QTest::newRow("prefix matches the text") << QByteArray::fromHex("00000017") + text << "A" << 0;
    QTest::newRow("prefix says less than the text") << QByteArray::fromHex("00000002") + text << "A" << 0;
    QTest::newRow("prefix says more than the payload") << QByteArray::fromHex("FFFFFFFF") + text << "A" << 0;
    QTest::newRow("malformed JSON") << QByteArray::fromHex("00000005") + QByteArray("{\"Cla") << "" << 1;
    QTest::newRow("payload shorter than the prefix") << QByteArray::fromHex("0000") << "" << 1;
    QTest::newRow("prefix only") << QByteArray::fromHex("00000000") << "" << 1;
    QTest::newRow("array document gives an empty object") << QByteArray::fromHex("00000002") + QByteArray("[]")
                                                          << "" << 0;
    QTest::newRow("Class that is not a string") << QByteArray::fromHex("00000000") + QByteArray(R"({"Class":5})")
                                                << "" << 0;
}

void TestSerialisableDataPacket::receivedFrame()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, parseFailures);
    LogCapture capture;

    const QByteArray frame = frameWithPayload(payload);
    const SerialisableDataPacket packet(frame, readHeader(frame));
    QTEST(packet.className(), "className");
    QCOMPARE(packet.payload(), payload);
    QCOMPARE(capture.countStartingWith("SerialisablePacket failed to parse packet "), parseFailures);
    QCOMPARE(capture.messages().size(), parseFailures);
    if (parseFailures)
        QVERIFY(packet.jsonObject().value("Class").isString());
}

void TestSerialisableDataPacket::writtenFrameReadsBack()
{
    const DatacorePacket sent(object(R"({"name":{"data":["a","\u00e9\u4e2d"]}})"), QStringLiteral("x/y"));
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    writePacket(sent, &device);
    const QByteArray frame = device.data();
    const SerialisableDataPacket received(frame, readHeader(frame));
    QCOMPARE(received.jsonObject(), sent.jsonObject());
    QCOMPARE(DatacorePacket(received).path(), QStringLiteral("x/y"));
}

void TestSerialisableDataPacket::textConstructor_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QString>("className");

    QTest::newRow("object with a class") << QByteArray(R"({"Class":"B"})") << true << "B";
    QTest::newRow("object without a class gets none") << QByteArray(R"({"a":1})") << true << "";
    QTest::newRow("malformed text") << QByteArray("{\"Class\":") << false << "";
    QTest::newRow("empty text") << QByteArray() << false << "";
}

void TestSerialisableDataPacket::textConstructor()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, parsed);
    LogCapture capture;

    QJsonParseError error;
    const SerialisableDataPacket packet(text, &error);
    QCOMPARE(error.error == QJsonParseError::NoError, parsed);
    QTEST(packet.className(), "className");
    QCOMPARE(packet.jsonObject().contains("Class"), !packet.className().isEmpty());
    QCOMPARE(capture.count(spdlog::level::info, "SerialisablePacket failed to parse packet: " + error.errorString()),
             parsed ? 0 : 1);
    QCOMPARE(SerialisableDataPacket(text, nullptr).className(), packet.className());
}

void TestSerialisableDataPacket::emptyClassNameIsRefused()
{
    LogCapture capture;
    const SerialisableDataPacket packet{QString()};
    QVERIFY(packet.jsonObject().isEmpty());
    QCOMPARE(capture.messages(spdlog::level::info), QStringList{"SerialisableDataPacket MUST HAVE CLASS NAME"});
}

void TestSerialisableDataPacket::extractPacket_data()
{
    QTest::addColumn<QByteArray>("parent");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("className");

    QTest::newRow("object with a class") << QByteArray(R"({"k":{"Class":"C","v":1}})") << true << "C";
    QTest::newRow("class is a number") << QByteArray(R"({"k":{"Class":3}})") << false << "";
    QTest::newRow("class is empty") << QByteArray(R"({"k":{"Class":""}})") << false << "";
    QTest::newRow("no class") << QByteArray(R"({"k":{"v":1}})") << false << "";
    QTest::newRow("value is an array") << QByteArray(R"({"k":[{"Class":"C"}]})") << false << "";
    QTest::newRow("key missing") << QByteArray(R"({"K":{"Class":"C"}})") << false << "";
}

void TestSerialisableDataPacket::extractPacket()
{
    QFETCH(QByteArray, parent);
    QFETCH(bool, ok);

    bool extracted = !ok;
    const SerialisableDataPacket packet =
        SerialisableDataPacket::extractPacket(SerialisableDataPacket(QJsonDocument::fromJson(parent).object()), "k",
                                              &extracted);
    QCOMPARE(extracted, ok);
    QTEST(packet.className(), "className");
    if (ok)
        QCOMPARE(packet.jsonObject(), QJsonDocument::fromJson(parent).object().value("k").toObject());
    else
        QVERIFY(packet.jsonObject().isEmpty());
}

void TestSerialisableDataPacket::extractPacketArray_data()
{
    QTest::addColumn<QByteArray>("parent");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("classNames");

    QTest::newRow("A, 5, empty class, B") << QByteArray(R"({"k":[{"Class":"A"},5,{"Class":""},{"Class":"B"}]})")
                                          << false << QStringList{"A", "B"};
    QTest::newRow("all good") << QByteArray(R"({"k":[{"Class":"B"},{"Class":"A"}]})") << true
                              << QStringList{"B", "A"};
    QTest::newRow("empty array") << QByteArray(R"({"k":[]})") << true << QStringList();
    QTest::newRow("not an array") << QByteArray(R"({"k":{"Class":"A"}})") << false << QStringList();
    QTest::newRow("key missing") << QByteArray(R"({})") << false << QStringList();
}

void TestSerialisableDataPacket::extractPacketArray()
{
    QFETCH(QByteArray, parent);
    QFETCH(bool, ok);

    bool extracted = !ok;
    const SerialisableDataPacket packet(QJsonDocument::fromJson(parent).object());
    QTEST(classNames(packet.extractPacketArray("k", &extracted)), "classNames");
    QCOMPARE(extracted, ok);
}

void TestSerialisableDataPacket::insertedArrayKeepsOrder()
{
    SerialisableDataPacket parent(QStringLiteral("P"));
    parent.insertPacketArray("list", {SerialisableDataPacket(QStringLiteral("Z")), DatacorePacket()});
    parent.insertPacket("one", SerialisableDataPacket(QStringLiteral("Y")));
    QCOMPARE(parent.jsonText(),
             QByteArray(R"({"Class":"P","list":[{"Class":"Z"},{"Class":"DatacorePacket"}],"one":{"Class":"Y"}})"));
}

void TestSerialisableDataPacket::datacoreGetters_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("clientId");
    QTest::addColumn<int>("packetId");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("datacore");
    QTest::addColumn<QString>("present");

    QTest::newRow("all keys") << QByteArray(R"({"ClientID":"c1","PacketID":12,"Path":"a/b","Datacore":{"b":{}}})")
                              << "c1" << 12 << "a/b" << QByteArray(R"({"b":{}})") << "CIPD";
    QTest::newRow("no optional keys") << QByteArray(R"({"Path":"a","Datacore":{}})") << "" << -1 << "a"
                                      << QByteArray("{}") << "PD";
    QTest::newRow("PacketID is a string") << QByteArray(R"({"PacketID":"12"})") << "" << -1 << ""
                                          << QByteArray("{}") << "I";
    QTest::newRow("PacketID is fractional") << QByteArray(R"({"PacketID":1.5})") << "" << -1 << ""
                                            << QByteArray("{}") << "I";
    QTest::newRow("PacketID 0") << QByteArray(R"({"PacketID":0})") << "" << 0 << "" << QByteArray("{}") << "I";
    QTest::newRow("mistyped strings and datacore") << QByteArray(R"({"ClientID":7,"Path":null,"Datacore":[1]})")
                                                   << "" << -1 << "" << QByteArray("{}") << "CPD";
    QTest::newRow("empty object") << QByteArray("{}") << "" << -1 << "" << QByteArray("{}") << "";
}

void TestSerialisableDataPacket::datacoreGetters()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, datacore);
    QFETCH(QString, present);

    const DatacorePacket packet(SerialisableDataPacket(QJsonDocument::fromJson(json).object()));
    QTEST(packet.clientId(), "clientId");
    QTEST(packet.packetId(), "packetId");
    QTEST(packet.path(), "path");
    QCOMPARE(packet.datacore(), QJsonDocument::fromJson(datacore).object());
    QCOMPARE(packet.hasClientId(), present.contains('C'));
    QCOMPARE(packet.hasPacketId(), present.contains('I'));
    QCOMPARE(packet.hasPath(), present.contains('P'));
    QCOMPARE(packet.hasDatacore(), present.contains('D'));
}

void TestSerialisableDataPacket::logArgumentIsIndentedJson()
{
    LogCapture capture;
    const DatacorePacket packet(QJsonObject(), QStringLiteral("p"));
    const QByteArray indented = QJsonDocument(packet.jsonObject()).toJson(QJsonDocument::Indented);
    QVERIFY(indented.count('\n') > 1);

    VqLog::info("packet {}", packet);
    QCOMPARE(capture.messages(), QStringList{"packet " + QString::fromUtf8(indented)});

    // The placeholder's width and fill apply to the whole text.
    const QByteArray empty = SerialisableDataPacket().indentedJsonText();
    QCOMPARE(QByteArray::fromStdString(fmt::format("{:*<9}", SerialisableDataPacket())),
             empty + QByteArray(9 - empty.size(), '*'));

    std::ostringstream stream;
    stream << packet;
    QCOMPARE(QByteArray::fromStdString(stream.str()), indented);
}

QTEST_GUILESS_MAIN(TestSerialisableDataPacket)
#include "tst_serialisabledatapacket.moc"
