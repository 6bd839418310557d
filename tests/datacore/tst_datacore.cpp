#include "datacoreactivestatusmessage.h"
#include "datacorebase.h"
#include "datacorebool.h"
#include "datacorejsonmessage.h"
#include "datacorevalidstatusmessage.h"
#include "logcapture.h"
#include "testframes.h"

#include <QtTest>

namespace {

const QString JSON = QStringLiteral("DatacoreJsonMessage");
const QString VALID = QStringLiteral("DatacoreValidStatusMessage");
const QString ACTIVE = QStringLiteral("DatacoreActiveStatusMessage");

struct RecordingOwner : DatacoreElementPrivateInterface
{
    void elementDeserialised() override { ++deserialised; }
    void elementModified() override { ++modified; }
    int deserialised = 0;
    int modified = 0;
};

const QByteArray INVALID_10 = R"({"DatacoreValidStatusMessage":{},"MessageBase":{"identifier":10,"type":2}})";

// Keeps the reasons it is given, as a mirror of a server datacore does.
struct KeepingDatacore : DatacoreBase
{
    using DatacoreBase::DatacoreBase;
    void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>&) override {}
    void calculateReasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>&) override {}
};

// root ("DatacoreBase", no data, invalid with reason 10) with children a ("T", "1") and b (["x", "y"]); a has child c.
struct Tree
{
    Tree()
    {
        root.deserialise(QString(), json(R"({"root":{"reasonsForBeingInvalid":[)" + INVALID_10 + "]}}"), false, messages);
    }
    KeepingDatacore root{QStringLiteral("root"), nullptr};
    DatacoreBase a{QStringLiteral("T"), QStringLiteral("a"), &root, QStringLiteral("1")};
    DatacoreBase b{QStringLiteral("b"), &root, QStringList{"x", "y"}};
    DatacoreBase c{QStringLiteral("c"), &a};
    std::list<DatacoreJsonMessage> messages;
};

// Records its recalculations and hooks as "calc <name>", "valid <name>" and
// "changed <name>" in a log shared by the tree; invalid ones give reason 27.
class CountingDatacore : public DatacoreBase
{
public:
    CountingDatacore(const QString& name, DatacoreBase* parent, QStringList* log)
        : DatacoreBase(name, parent, QStringLiteral("v")), m_log(log) {}
    void setInvalid(bool invalid) { m_invalid = invalid; }

private:
    void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& reasons) override
    {
        record("calc");
        reasons.clear();
        if (m_invalid)
            reasons.emplace_back(2, 27);
    }
    void onDatacoreValid() override { record("valid"); }
    void onDatacoreChanged() override { record("changed"); }
    void record(const char* event) { m_log->append(QLatin1String(event) + QLatin1Char(' ') + name()); }

    QStringList* m_log;
    bool m_invalid = false;
};

} // namespace

class TestDatacore : public QObject
{
    Q_OBJECT

private slots:
    void parseMessages_data();
    void parseMessages();
    void elementPathAndKeyErrors();
    void elementReading_data();
    void elementReading();
    void readAndWrite_data();
    void readAndWrite();
    void deserialiseFlushesOnce();
    void manyPendingChanges_data();
    void manyPendingChanges();
    void initialiseAndTeardown();
    void boolValidity_data();
    void boolValidity();
};

// Each row parses one array entry; a message reads back as its class, type,
// identifier and, if it has one, its text.
void TestDatacore::parseMessages_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QStringList>("parsed");
    QTest::addColumn<QString>("logged");

    const auto row = [](const QString& className, const QByteArray& base, const QString& parsed) {
        const QByteArray entry = "{\"" + className.toLatin1() + "\":{},\"MessageBase\":" + base + "}";
        QTest::newRow(entry.constData()) << entry << QStringList{className + parsed} << QString();
    };
    const auto text = [&row](const QString& className, int identifier, const char* text) {
        const QByteArray id = QByteArray::number(identifier);
        row(className, R"({"type":1,"identifier":)" + id + "}", " 1 " + id + (*text ? " " : "") + text);
    };
    // The ends of each table and the gaps in it: the entries between are one lookup.
    text(JSON, 0, "Datacore path could not be resolved");
    text(JSON, 6, "MessageContentJsonDoesNotContainDatacoreElementKey");
    text(ACTIVE, 2, "Command Executor is Busy");
    text(ACTIVE, 5, "One or more child datacores are invalid.");
    for (int identifier : {-1, 1, 45, 49})
        text(VALID, identifier, "");
    text(VALID, 2, "Stored integer is Oversized");
    text(VALID, 48, "Bouncing box not supported for Level B mapping structure II, III, IV");
    // Numbers: integral ones within int range, else 0; missing ones keep the defaults.
    row(ACTIVE, "{}", " 3 -1");
    row(ACTIVE, R"({"type":"2","identifier":null})", " 0 0");
    row(ACTIVE, R"({"type":-2147483648,"identifier":2147483647})", " -2147483648 2147483647");
    row(ACTIVE, R"({"type":1.5,"identifier":1e12})", " 0 0");

    QTest::newRow("not an object") << QByteArray(R"("a string")") << QStringList()
                                   << "Not a serialised object, of QJson type: 3";
    QTest::newRow("no message base") << QByteArray(R"({"type":2,"identifier":3})") << QStringList()
                                     << "Not recognised as a serialised message: identifiertype";
    QTest::newRow("unsupported class") << QByteArray(R"({"MessageBase":{},"OtherMessage":{},"Extra":1})")
                                       << QStringList() << "Unsupported message type: ExtraMessageBaseOtherMessage";
    QTest::newRow("json class first") << QByteArray(R"({"MessageBase":{"type":1,"identifier":0},)"
                                                    R"("DatacoreValidStatusMessage":{},"DatacoreJsonMessage":{}})")
                                      << QStringList{JSON + " 1 0 Datacore path could not be resolved"} << QString();
}

void TestDatacore::parseMessages()
{
    QFETCH(QByteArray, entry);

    LogCapture capture;
    QStringList parsed;
    for (const auto& message : parseSerialisedMessages(QJsonDocument::fromJson("[" + entry + "]").array())) {
        parsed << QStringLiteral("%1 %2 %3").arg(message->className()).arg(message->type()).arg(message->identifier())
                + (message->hasText() ? " " + message->text() : QString());
    }
    QTEST(parsed, "parsed");
    QTEST(capture.messages().join('\n'), "logged");
}

void TestDatacore::elementPathAndKeyErrors()
{
    RecordingOwner owner;
    DatacoreDataElement data(&owner, {"v"});
    DatacoreClassnameElement className(&owner, QStringLiteral("C"));
    // The two status elements share their code.
    DatacoreValidStatusElement valid(&owner);
    const QJsonObject unrelated = json(R"({"other":1})");
    for (DatacoreJsonInterface* element : std::initializer_list<DatacoreJsonInterface*>{&data, &className, &valid}) {
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

// Data rows hold the stored data; reason rows hold reason 10, type 2, and read
// the identifiers of what is kept.
void TestDatacore::elementReading_data()
{
    QTest::addColumn<bool>("reasons");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QStringList>("result");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("zeroSizedLogged");

    const auto data = [](const char* name, const QStringList& stored, const char* value, const QStringList& result,
                         bool changed, bool zeroSizedLogged) {
        QTest::newRow(name) << false << stored << "{\"data\":" + QByteArray(value) + "}" << result << changed
                            << zeroSizedLogged;
    };
    data("null into empty", {}, "null", {}, false, false);
    data("null empties", {"a"}, "null", {}, true, false);
    data("string into empty logs", {}, R"("a")", {"a"}, true, true);
    data("same string", {"a"}, R"("a")", {"a"}, false, false);
    data("same array", {"a", "b"}, R"(["a","b"])", {"a", "b"}, false, false);
    data("array reordered", {"a", "b"}, R"(["b","a"])", {"b", "a"}, true, false);

    const auto reasons = [](const char* name, const QByteArray& array, const QStringList& kept, bool changed) {
        QTest::newRow(name) << true << QStringList() << "{\"reasonsForBeingInvalid\":" + array + "}" << kept << changed
                            << false;
    };
    const QByteArray active = R"({"DatacoreActiveStatusMessage":{},"MessageBase":{"identifier":3,"type":2}})";
    const QByteArray invalid21 = R"({"DatacoreValidStatusMessage":{},"MessageBase":{"identifier":21,"type":2}})";
    reasons("equal reasons", "[" + INVALID_10 + "]", {"10"}, false);
    reasons("other class dropped, rest equal", "[" + active + "," + INVALID_10 + "]", {"10"}, false);
    reasons("non-object entry counts as change", "[" + INVALID_10 + ",1]", {"10"}, true);
    reasons("different identifier", "[" + invalid21 + "]", {"21"}, true);
    reasons("no reasons", "[]", {}, true);
    reasons("not an array leaves reasons", "{}", {"10"}, false);
}

void TestDatacore::elementReading()
{
    QFETCH(bool, reasons);
    QFETCH(QStringList, stored);
    QFETCH(QByteArray, source);
    QFETCH(bool, changed);
    QFETCH(bool, zeroSizedLogged);

    LogCapture capture;
    RecordingOwner owner;
    DatacoreDataElement data(&owner, stored);
    DatacoreValidStatusElement valid(&owner);
    if (reasons)
        valid.setReasons({DatacoreValidStatusMessage(2, 10)});
    owner.modified = 0;
    std::list<DatacoreJsonMessage> messages;
    QVERIFY((reasons ? static_cast<DatacoreJsonInterface&>(valid) : data).deserialise(QString(), json(source), false,
                                                                                     messages));
    QStringList result = data.data();
    for (const DatacoreValidStatusMessage& reason : valid.reasons())
        result << QString::number(reason.identifier());
    QTEST(result, "result");
    QCOMPARE((QList<int>{owner.deserialised, owner.modified}), (QList<int>{changed ? 1 : 0, 0}));
    QCOMPARE(capture.count(spdlog::level::err, "0 sized entry for data element"), zeroSizedLogged ? 1 : 0);
    QVERIFY(messages.empty());
}

// Rows without a source write the tree at the path; rows with one read it
// there, then write the whole tree's data.
void TestDatacore::readAndWrite_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("dataOnly");
    QTest::addColumn<bool>("recursive");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<bool>("rootInvalidAfter");

    const auto write = [](const char* name, const char* path, bool dataOnly, bool recursive, bool ok,
                          const QByteArray& written) {
        QTest::newRow(name) << QString(path) << QByteArray() << dataOnly << recursive << ok << written << true;
    };
    write("full", "", false, false, true,
          R"({"root":{"class":"DatacoreBase","data":null,"reasonsForBeingInactive":[],"reasonsForBeingInvalid":[)"
              + INVALID_10 + "]}}");
    write("recursive data only", "", true, true, true,
          R"({"root":{"a":{"c":{"data":null},"data":"1"},"b":{"data":["x","y"]},"data":null}})");
    write("child by path", "a", false, false, true,
          R"({"a":{"class":"T","data":"1","reasonsForBeingInactive":[],"reasonsForBeingInvalid":[]}})");
    write("split at the first separator, trailing one ends it", "a/c/", true, false, true, R"({"c":{"data":null}})");
    write("write unknown child", "z", true, false, false, "{}");

    const auto read = [](const char* name, const char* path, const char* source, bool dataOnly, bool ok,
                         const QByteArray& dataAfter, bool invalidAfter) {
        QTest::newRow(name) << QString(path) << QByteArray(source) << dataOnly << true << ok << dataAfter << invalidAfter;
    };
    const QByteArray untouched = R"({"root":{"a":{"c":{"data":null},"data":"1"},"b":{"data":["x","y"]},"data":null}})";
    const auto withRoot = [&untouched](const char* rootData) {
        return QByteArray(untouched).replace(R"("data":null}})", "\"data\":" + QByteArray(rootData) + "}}");
    };
    const QByteArray deep = QByteArray(untouched).replace("null},", "\"deep\"},");
    read("only data, unknown keys ignored", "", R"({"root":{"zz":1,"data":"n","d":{"data":"q"}}})", false, true,
         withRoot("\"n\""), 1);
    read("class is checked, never replaced", "a", R"({"a":{"class":"Other"}})", false, true, untouched, 1);
    read("status read without dataOnly", "", R"({"root":{"reasonsForBeingInvalid":[]}})", false, true, untouched, 0);
    read("status ignored with dataOnly", "", R"({"root":{"reasonsForBeingInvalid":[],"data":["p","q"]}})", true, true,
         withRoot(R"(["p","q"])"), 1);
    read("nested children", "", R"({"root":{"a":{"c":{"data":"deep"}}}})", false, true, deep, 1);
    read("grandchild by path", "a/c", R"({"c":{"data":"deep"}})", false, true, deep, 1);
    read("two keys, one is the name", "", R"({"root":{"data":"n"},"x":{}})", false, false, untouched, 1);
    read("read unknown child", "z", R"({"z":{"data":"n"}})", false, false, untouched, 1);
}

void TestDatacore::readAndWrite()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, source);
    QFETCH(bool, dataOnly);
    QFETCH(bool, recursive);

    Tree tree;
    QJsonObject target;
    if (source.isNull()) {
        QTEST(tree.root.serialise(path, target, dataOnly, recursive, tree.messages), "ok");
    } else {
        QTEST(tree.root.deserialise(path, json(source), dataOnly, tree.messages), "ok");
        QVERIFY(tree.root.serialise(QString(), target, true, true, tree.messages));
    }
    QTEST(QJsonDocument(target).toJson(QJsonDocument::Compact), "written");
    QVERIFY(tree.messages.empty());
    QTEST(!tree.root.isValid(), "rootInvalidAfter");
    QCOMPARE(tree.a.className(), QStringLiteral("T"));
}

void TestDatacore::deserialiseFlushesOnce()
{
    QStringList log;
    CountingDatacore root(QStringLiteral("root"), nullptr, &log);
    CountingDatacore x(QStringLiteral("x"), &root, &log);
    std::list<DatacoreJsonMessage> messages;
    // Data, a reason the recalculation drops again, and a child: several
    // element callbacks, one recalculation each.
    QVERIFY(root.deserialise(QString(), json(R"({"root":{"data":["a","b"],"reasonsForBeingInactive":[)"
                                             R"({"MessageBase":{"identifier":2},"DatacoreActiveStatusMessage":{}}],)"
                                             R"("x":{"data":"w"}}})"), false, messages));
    QCOMPARE(log, (QStringList{"calc x", "valid x", "changed x", "calc root", "valid root", "changed root"}));
    QVERIFY(root.isActive());
    QCOMPARE(root.pendingChanges(), (std::vector<DatacoreBase*>{&root, &x}));
    QVERIFY(x.pendingChanges().empty());

    log.clear();
    QVERIFY(root.deserialise(QString(), json(R"({"root":{"data":["a","b"],"x":{"data":"w"}}})"), false, messages));
    QCOMPARE((QList<int>{log.count("calc root"), log.count("calc x")}), (QList<int>{1, 0}));

    // A local change recalculates every ancestor, but runs only its own hook.
    log.clear();
    root.resetChangeStateRecursive();
    for (int i = 0; i < 3; ++i)
        x.setDataString(QString::number(i));
    QCOMPARE((QList<int>{log.count("calc root"), log.count("changed root"), log.count("changed x")}), (QList<int>{3, 0, 3}));

    // A local change outlives a server one, which still runs the hook; a
    // server packet changes the state only where it changes the data.
    QVERIFY(root.deserialise(QString(), json(R"({"root":{"data":["a","b"],"x":{"data":"w"}}})"), true, messages));
    QCOMPARE(log.count("changed x"), 4);
    using S = DatacoreChangeState;
    const auto states = [&] { return QList<S>{root.changeState(), x.changeState()}; };
    QCOMPARE(states(), (QList<S>{S::NoChange, S::ChangedLocally}));
    QVERIFY(root.deserialise(QString(), json(R"({"root":{"data":"c"}})"), true, messages));
    QCOMPARE(states(), (QList<S>{S::ChangedByDeserialisation, S::ChangedLocally}));
}

void TestDatacore::manyPendingChanges_data()
{
    QTest::addColumn<int>("children");
    QTest::addColumn<int>("changed");

    QTest::newRow("few") << 4 << 4;
    // Long lists are indexed, and removals leave gaps in them for a while.
    QTest::newRow("indexed") << 12 << 12;
    QTest::newRow("many") << 300 << 300;
    QTest::newRow("subtree larger than the lists") << 300 << 20;
}

void TestDatacore::manyPendingChanges()
{
    QFETCH(int, children);
    QFETCH(int, changed);

    DatacoreBase root(QStringLiteral("root"), nullptr);
    DatacoreBase sibling(QStringLiteral("sibling"), &root);
    auto mid = std::make_unique<DatacoreBase>(QStringLiteral("mid"), &root);
    std::vector<std::unique_ptr<DatacoreBase>> kids;
    for (int i = 0; i < children; ++i)
        kids.push_back(std::make_unique<DatacoreBase>(QString::number(i), mid.get()));

    sibling.setDataString(QStringLiteral("a"));
    std::vector<DatacoreBase*> expected{&sibling};
    // Backwards, then forwards again: the first arrival keeps its place.
    for (int i = changed - 1; i >= 0; --i) {
        kids[size_t(i)]->setDataString(QStringLiteral("a"));
        expected.push_back(kids[size_t(i)].get());
    }
    for (int i = 0; i < changed; ++i)
        kids[size_t(i)]->setDataString(QStringLiteral("b"));
    sibling.setDataString(QStringLiteral("b"));
    QCOMPARE(root.pendingChanges(), expected);

    // Every third child goes; its successor, often at the same address,
    // queues at the end.
    for (int i = 0; i < children; i += 3) {
        expected.erase(std::remove(expected.begin(), expected.end(), kids[size_t(i)].get()), expected.end());
        kids[size_t(i)].reset();
    }
    for (int i = 0; i < children; i += 3) {
        kids[size_t(i)] = std::make_unique<DatacoreBase>(QStringLiteral("new%1").arg(i), mid.get());
        kids[size_t(i)]->setDataString(QStringLiteral("c"));
        expected.push_back(kids[size_t(i)].get());
    }
    QCOMPARE(root.pendingChanges(), expected);
    QVERIFY(mid->pendingChanges().empty());
    QCOMPARE(mid->childDatacores().size(), children);

    mid.reset();
    QCOMPARE(root.pendingChanges(), std::vector<DatacoreBase*>{&sibling});
}

// Initialise walks children first; with nothing changing, nothing propagates.
// The tree then goes from the top, a change still pending at the root.
void TestDatacore::initialiseAndTeardown()
{
    QStringList log;
    auto root = std::make_unique<CountingDatacore>(QStringLiteral("root"), nullptr, &log);
    auto a = std::make_unique<CountingDatacore>(QStringLiteral("a"), root.get(), &log);
    auto a1 = std::make_unique<CountingDatacore>(QStringLiteral("a1"), a.get(), &log);
    auto b = std::make_unique<CountingDatacore>(QStringLiteral("b"), root.get(), &log);
    auto unlisted = std::make_unique<CountingDatacore>(QStringLiteral("b"), root.get(), &log);
    root->initialise();
    QCOMPARE(log, (QStringList{"calc a1", "calc a", "calc b", "calc root", "valid a1", "valid a", "valid b", "valid root"}));

    // New reasons propagate as local changes (a1's reaches the root before the
    // walk does), and the states are reset after.
    log.clear();
    root->setInvalid(true);
    a1->setInvalid(true);
    root->initialise();
    QCOMPARE(log.mid(log.lastIndexOf(QRegularExpression("calc .*")) + 1), (QStringList{"valid a", "valid b"}));
    QCOMPARE(log.count("changed root") + log.count("changed a1"), 2);
    for (const auto* datacore : {root.get(), a.get(), a1.get(), b.get()})
        QCOMPARE(datacore->changeState(), DatacoreChangeState::NoChange);
    QVERIFY(!root->isValid() && !a1->isValid() && a->isValid() && b->isValid() && !a->allChildrenValid()
            && b->allChildrenValid());

    a1->setDataString(QStringLiteral("x"));
    root.reset();
    QCOMPARE((QStringList{a->path(), unlisted->path()}), (QStringList{"a", "b"}));
    a.reset();
    QCOMPARE(a1->path(), QStringLiteral("a1"));
    a1->setDataString(QStringLiteral("y"));
    QCOMPARE(a1->pendingChanges(), std::vector<DatacoreBase*>{a1.get()});
}

void TestDatacore::boolValidity_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QList<int>>("reasons"); // identifier + 100 * type
    QTest::addColumn<QList<bool>>("values"); // the first is the value

    QTest::newRow("legal items") << QStringList{"true", "false", "true"} << QList<int>{} << QList<bool>{true, false, true};
    QTest::newRow("two bad, one reason") << QStringList{"True", " false"} << QList<int>{210} << QList<bool>{false, false};
    QTest::newRow("illegal after legal first") << QStringList{"true", ""} << QList<int>{210} << QList<bool>{true, false};
    QTest::newRow("no item") << QStringList{} << QList<int>{221} << QList<bool>{};
}

void TestDatacore::boolValidity()
{
    QFETCH(QStringList, data);
    QFETCH(QList<bool>, values);

    DatacoreBool datacore(QStringLiteral("flag"), nullptr, QList<bool>{true, true});
    datacore.setData(data);
    std::list<DatacoreValidStatusMessage> reasons;
    datacore.reasonsForBeingInvalid(reasons);
    QList<int> codes;
    for (const DatacoreValidStatusMessage& reason : reasons)
        codes << reason.identifier() + 100 * reason.type();
    QTEST(codes, "reasons");
    QCOMPARE(datacore.value(), values.value(0));
    QCOMPARE(datacore.values(), std::deque<bool>(values.begin(), values.end()));

    datacore.setValue(false);
    QVERIFY(datacore.isValid());
}

QTEST_GUILESS_MAIN(TestDatacore)
#include "tst_datacore.moc"
