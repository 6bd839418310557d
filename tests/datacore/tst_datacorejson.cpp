#include "datacorebase.h"
#include "logcapture.h"
#include "testframes.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

QByteArray text(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

struct RecordingOwner : DatacoreElementPrivateInterface
{
    void elementDeserialised() override { ++deserialised; }
    void elementModified() override { ++modified; }
    int deserialised = 0;
    int modified = 0;
};

const QByteArray INVALID_10 = R"({"DatacoreValidStatusMessage":{},"MessageBase":{"identifier":10,"type":2}})";

// Keeps the reasons it is given, as a mirror of a server datacore does.
class KeepingDatacore : public DatacoreBase
{
public:
    using DatacoreBase::DatacoreBase;

protected:
    void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>&) override {}
    void calculateReasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>&) override {}
};

// root ("DatacoreBase", no data, invalid with reason 10) with children a ("T", "1") and b (["x", "y"]); a has child c.
struct Tree
{
    Tree()
    {
        root.deserialise(QString(), json(R"({"root":{"reasonsForBeingInvalid":[)" + INVALID_10 + "]}}"), false,
                         messages);
        messages.clear();
    }
    KeepingDatacore root{QStringLiteral("root"), nullptr};
    DatacoreBase a{QStringLiteral("T"), QStringLiteral("a"), &root, QStringLiteral("1")};
    DatacoreBase b{QStringLiteral("b"), &root, QStringList{"x", "y"}};
    DatacoreBase c{QStringLiteral("c"), &a};
    std::list<DatacoreJsonMessage> messages;
};

} // namespace

class TestDatacoreJson : public QObject
{
    Q_OBJECT

private slots:
    void elementPathAndKeyErrors();
    void dataElementReading_data();
    void dataElementReading();
    void statusElementReading_data();
    void statusElementReading();
    void serialising_data();
    void serialising();
    void deserialising_data();
    void deserialising();
};

void TestDatacoreJson::elementPathAndKeyErrors()
{
    RecordingOwner owner;
    DatacoreDataElement data(&owner, {"v"});
    DatacoreClassnameElement className(&owner, QStringLiteral("C"));
    DatacoreValidStatusElement valid(&owner);
    DatacoreActiveStatusElement active(&owner);
    const QList<DatacoreJsonInterface*> elements{&data, &className, &valid, &active};
    const QJsonObject unrelated = json(R"({"other":1})");

    for (DatacoreJsonInterface* element : elements) {
        std::list<DatacoreJsonMessage> messages;
        QJsonObject target;
        QVERIFY(!element->serialise(QStringLiteral("x"), target, false, false, messages));
        QVERIFY(!element->deserialise(QStringLiteral("x"), unrelated, false, messages));
        QVERIFY(!element->deserialise(QString(), unrelated, false, messages));
        QStringList codes;
        for (const DatacoreJsonMessage& message : messages)
            codes << QStringLiteral("%1/%2").arg(message.type()).arg(message.identifier());
        QCOMPARE(codes, (QStringList{"2/5", "2/5", "2/6"}));
        QVERIFY(target.isEmpty());
    }
    QCOMPARE(owner.deserialised + owner.modified, 0);
}

void TestDatacoreJson::dataElementReading_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QStringList>("result");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("zeroSizedLogged");

    const auto row = [](const char* name, const QStringList& stored, const char* source, const QStringList& result,
                        bool changed, bool zeroSizedLogged) {
        QTest::newRow(name) << stored << QByteArray(source) << result << changed << zeroSizedLogged;
    };
    row("null into empty", {}, R"({"data":null})", {}, false, false);
    row("null empties", {"a"}, R"({"data":null})", {}, true, false);
    row("string into empty logs", {}, R"({"data":"a"})", {"a"}, true, true);
    row("same string", {"a"}, R"({"data":"a"})", {"a"}, false, false);
    row("same array", {"a", "b"}, R"({"data":["a","b"]})", {"a", "b"}, false, false);
    row("array reordered", {"a", "b"}, R"({"data":["b","a"]})", {"b", "a"}, true, false);
}

void TestDatacoreJson::dataElementReading()
{
    QFETCH(QStringList, stored);
    QFETCH(QByteArray, source);
    QFETCH(QStringList, result);
    QFETCH(bool, changed);
    QFETCH(bool, zeroSizedLogged);

    LogCapture capture;
    RecordingOwner owner;
    DatacoreDataElement element(&owner, stored);
    std::list<DatacoreJsonMessage> messages;
    QVERIFY(element.deserialise(QString(), json(source), false, messages));
    QCOMPARE(element.data(), result);
    QCOMPARE(owner.deserialised, changed ? 1 : 0);
    QCOMPARE(capture.count(spdlog::level::err, "0 sized entry for data element"), zeroSizedLogged ? 1 : 0);
    QVERIFY(messages.empty());
}

void TestDatacoreJson::statusElementReading_data()
{
    QTest::addColumn<QByteArray>("array");
    QTest::addColumn<QList<int>>("kept");
    QTest::addColumn<bool>("changed");

    const QByteArray active = R"({"DatacoreActiveStatusMessage":{},"MessageBase":{"identifier":3,"type":2}})";
    const QByteArray invalid21 = R"({"DatacoreValidStatusMessage":{},"MessageBase":{"identifier":21,"type":2}})";
    // The stored list holds reason 10, type 2.
    QTest::newRow("equal") << "[" + INVALID_10 + "]" << QList<int>{10} << false;
    QTest::newRow("other class dropped, rest equal")
        << "[" + active + "," + INVALID_10 + "]" << QList<int>{10} << false;
    QTest::newRow("non-object entry counts as change") << "[" + INVALID_10 + ",1]" << QList<int>{10} << true;
    QTest::newRow("different identifier") << "[" + invalid21 + "]" << QList<int>{21} << true;
    QTest::newRow("empty") << QByteArray("[]") << QList<int>{} << true;
    QTest::newRow("not an array leaves reasons") << QByteArray("{}") << QList<int>{10} << false;
}

void TestDatacoreJson::statusElementReading()
{
    QFETCH(QByteArray, array);
    QFETCH(QList<int>, kept);
    QFETCH(bool, changed);

    RecordingOwner owner;
    DatacoreValidStatusElement element(&owner);
    element.setReasons({DatacoreValidStatusMessage(2, 10)});
    owner.modified = 0;
    std::list<DatacoreJsonMessage> messages;
    QVERIFY(element.deserialise(QString(), json("{\"reasonsForBeingInvalid\":" + array + "}"), false, messages));
    QList<int> identifiers;
    for (const DatacoreValidStatusMessage& reason : element.reasons())
        identifiers << reason.identifier();
    QCOMPARE(identifiers, kept);
    QCOMPARE(owner.deserialised, changed ? 1 : 0);
    QCOMPARE(owner.modified, 0);
}

void TestDatacoreJson::serialising_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("dataOnly");
    QTest::addColumn<bool>("recursive");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("written");

    const auto row = [](const char* name, const char* path, bool dataOnly, bool recursive, bool ok,
                        const QByteArray& written) {
        QTest::newRow(name) << QString(path) << dataOnly << recursive << ok << written;
    };
    row("full", "", false, false, true,
        R"({"root":{"class":"DatacoreBase","data":null,"reasonsForBeingInactive":[],"reasonsForBeingInvalid":[)"
            + INVALID_10 + "]}}");
    row("recursive data only", "", true, true, true,
        R"({"root":{"a":{"c":{"data":null},"data":"1"},"b":{"data":["x","y"]},"data":null}})");
    row("child by path", "a", false, false, true,
        R"({"a":{"class":"T","data":"1","reasonsForBeingInactive":[],"reasonsForBeingInvalid":[]}})");
    row("splits at the first separator, trailing one ends the path", "a/c/", true, false, true,
        R"({"c":{"data":null}})");
    row("unknown child", "z", true, false, false, "{}");
    row("leading separator", "/a", true, false, false, "{}");
}

void TestDatacoreJson::serialising()
{
    QFETCH(QString, path);
    QFETCH(bool, dataOnly);
    QFETCH(bool, recursive);
    QFETCH(QByteArray, written);

    Tree tree;
    QJsonObject target;
    QTEST(tree.root.serialise(path, target, dataOnly, recursive, tree.messages), "ok");
    QCOMPARE(text(target), written);
    QVERIFY(tree.messages.empty());
}

void TestDatacoreJson::deserialising_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("dataOnly");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("dataAfter");
    QTest::addColumn<int>("rootReasonsAfter");

    const auto row = [](const char* name, const char* path, const char* source, bool dataOnly, bool ok,
                        const QByteArray& dataAfter, int rootReasonsAfter) {
        QTest::newRow(name) << QString(path) << QByteArray(source) << dataOnly << ok << dataAfter << rootReasonsAfter;
    };
    const QByteArray untouched = R"({"root":{"a":{"c":{"data":null},"data":"1"},"b":{"data":["x","y"]},"data":null}})";
    const auto withRoot = [&untouched](const char* rootData) {
        return QByteArray(untouched).replace(R"("data":null}})", "\"data\":" + QByteArray(rootData) + "}}");
    };
    const QByteArray deep = QByteArray(untouched).replace("null},", "\"deep\"},");
    row("only data, unknown keys ignored", "", R"({"root":{"zz":1,"data":"n","d":{"data":"q"}}})", false, true,
        withRoot("\"n\""), 1);
    row("class is checked, never replaced", "a", R"({"a":{"class":"Other"}})", false, true, untouched, 1);
    row("status read without dataOnly", "", R"({"root":{"reasonsForBeingInvalid":[]}})", false, true, untouched, 0);
    row("status ignored with dataOnly", "", R"({"root":{"reasonsForBeingInvalid":[],"data":["p","q"]}})", true, true,
        withRoot(R"(["p","q"])"), 1);
    row("nested children", "", R"({"root":{"a":{"c":{"data":"deep"}}}})", false, true, deep, 1);
    row("grandchild by path", "a/c", R"({"c":{"data":"deep"}})", false, true, deep, 1);
    row("two keys, one is the name", "", R"({"root":{"data":"n"},"x":{}})", false, false, untouched, 1);
    row("unknown child", "z", R"({"z":{"data":"n"}})", false, false, untouched, 1);
}

void TestDatacoreJson::deserialising()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, source);
    QFETCH(bool, dataOnly);

    Tree tree;
    QTEST(tree.root.deserialise(path, json(source), dataOnly, tree.messages), "ok");
    QVERIFY(tree.messages.empty());
    QJsonObject target;
    QVERIFY(tree.root.serialise(QString(), target, true, true, tree.messages));
    QTEST(text(target), "dataAfter");
    std::list<DatacoreValidStatusMessage> reasons;
    tree.root.reasonsForBeingInvalid(reasons);
    QTEST(int(reasons.size()), "rootReasonsAfter");
    QCOMPARE(tree.a.className(), QStringLiteral("T"));
}

QTEST_GUILESS_MAIN(TestDatacoreJson)
#include "tst_datacorejson.moc"
