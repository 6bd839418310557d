#include "datacorebase.h"
#include "datacorebool.h"
#include "testframes.h"

#include <QtTest>

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

namespace {

// Records its recalculations and hooks as "calc <name>", "valid <name>" and
// "changed <name>" in a log shared by the tree; invalid ones give reason 27.
class CountingDatacore : public DatacoreBase
{
public:
    CountingDatacore(const QString& name, DatacoreBase* parent, QStringList* log)
        : DatacoreBase(name, parent, QStringLiteral("v"))
        , m_log(log)
    {
    }
    void setInvalid(bool invalid) { m_invalid = invalid; }
    int count(const char* event) const { return m_log->count(QLatin1String(event) + QLatin1Char(' ') + name()); }

protected:
    void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& reasons) override
    {
        record("calc");
        reasons.clear();
        if (m_invalid)
            reasons.emplace_back(2, 27);
    }
    void onDatacoreValid() override { record("valid"); }
    void onDatacoreChanged() override { record("changed"); }

private:
    void record(const char* event) { m_log->append(QLatin1String(event) + QLatin1Char(' ') + name()); }

    QStringList* m_log;
    bool m_invalid = false;
};

} // namespace

class TestDatacorePropagation : public QObject
{
    Q_OBJECT

private slots:
    void deserialiseFlushesOnce();
    void changeStates();
    void manyPendingChanges_data();
    void manyPendingChanges();
    void initialiseAndTeardown();
    void boolValidity_data();
    void boolValidity();
};

void TestDatacorePropagation::deserialiseFlushesOnce()
{
    QStringList log;
    CountingDatacore root(QStringLiteral("root"), nullptr, &log);
    CountingDatacore x(QStringLiteral("x"), &root, &log);
    std::list<DatacoreJsonMessage> messages;
    // Data, a reason the recalculation drops again, and a child: several
    // element callbacks, one recalculation each.
    QVERIFY(root.deserialise(QString(), json(R"({"root":{"data":["a","b"],"reasonsForBeingInactive":[)"
                                             R"({"MessageBase":{"identifier":2},"DatacoreActiveStatusMessage":{}}],)"
                                             R"("x":{"data":"w"}}})"),
                             false, messages));
    QCOMPARE(log, (QStringList{"calc x", "valid x", "changed x", "calc root", "valid root", "changed root"}));
    QVERIFY(root.isActive());
    QCOMPARE(root.pendingChanges(), (std::vector<DatacoreBase*>{&root, &x}));
    QVERIFY(x.pendingChanges().empty());

    log.clear();
    QVERIFY(root.deserialise(QString(), json(R"({"root":{"data":["a","b"],"x":{"data":"w"}}})"), false, messages));
    QCOMPARE((QList<int>{root.count("calc"), x.count("calc")}), (QList<int>{1, 0}));

    // A local change recalculates every ancestor, but runs only its own hook.
    log.clear();
    root.resetChangeStateRecursive();
    for (int i = 0; i < 3; ++i)
        x.setDataString(QString::number(i));
    QCOMPARE((QList<int>{root.count("calc"), root.count("changed"), x.count("changed")}), (QList<int>{3, 0, 3}));
}

// "=value" is a server packet, "reset" clears the state, anything else a
// local change; a local change outlives a server one.
void TestDatacorePropagation::changeStates()
{
    QStringList log;
    CountingDatacore datacore(QStringLiteral("d"), nullptr, &log);
    datacore.resetChangeState();
    std::list<DatacoreJsonMessage> messages;
    QList<DatacoreChangeState> states;
    QList<int> hooks;
    for (const QString& step : QStringList{"=v", "=w", "reset", "l", "=x"}) {
        if (step == "reset")
            datacore.resetChangeState();
        else if (step.startsWith('='))
            QVERIFY(datacore.deserialise(QString(), QJsonObject{{"d", QJsonObject{{"data", step.mid(1)}}}}, true,
                                         messages));
        else
            datacore.setDataString(step);
        states << datacore.changeState();
        hooks << datacore.count("changed");
    }
    QCOMPARE(states, (QList<DatacoreChangeState>{DatacoreChangeState::NoChange,
                                                 DatacoreChangeState::ChangedByDeserialisation,
                                                 DatacoreChangeState::NoChange, DatacoreChangeState::ChangedLocally,
                                                 DatacoreChangeState::ChangedLocally}));
    QCOMPARE(hooks, (QList<int>{0, 1, 1, 2, 3}));
}
void TestDatacorePropagation::manyPendingChanges_data()
{
    QTest::addColumn<int>("children");
    QTest::addColumn<int>("changed");

    QTest::newRow("few") << 4 << 4;
    // Long lists are indexed, and removals leave gaps in them for a while.
    QTest::newRow("indexed") << 12 << 12;
    QTest::newRow("many") << 300 << 300;
    QTest::newRow("subtree larger than the lists") << 300 << 20;
}

void TestDatacorePropagation::manyPendingChanges()
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
void TestDatacorePropagation::initialiseAndTeardown()
{
    QStringList log;
    auto root = std::make_unique<CountingDatacore>(QStringLiteral("root"), nullptr, &log);
    auto a = std::make_unique<CountingDatacore>(QStringLiteral("a"), root.get(), &log);
    auto a1 = std::make_unique<CountingDatacore>(QStringLiteral("a1"), a.get(), &log);
    auto b = std::make_unique<CountingDatacore>(QStringLiteral("b"), root.get(), &log);
    auto unlisted = std::make_unique<CountingDatacore>(QStringLiteral("b"), root.get(), &log);
    root->initialise();
    QCOMPARE(log, (QStringList{"calc a1", "calc a", "calc b", "calc root", "valid a1", "valid a", "valid b",
                               "valid root"}));

    // New reasons propagate as local changes (a1's reaches the root before the
    // walk does), and the states are reset after.
    log.clear();
    root->setInvalid(true);
    a1->setInvalid(true);
    root->initialise();
    QCOMPARE(log.mid(log.lastIndexOf(QRegularExpression("calc .*")) + 1), (QStringList{"valid a", "valid b"}));
    QCOMPARE(root->count("changed") + a1->count("changed"), 2);
    for (const auto* datacore : {root.get(), a.get(), a1.get(), b.get()})
        QCOMPARE(datacore->changeState(), DatacoreChangeState::NoChange);
    QVERIFY(!root->isValid() && !a1->isValid() && a->isValid() && b->isValid());
    QVERIFY(!a->allChildrenValid() && b->allChildrenValid());

    a1->setDataString(QStringLiteral("x"));
    root.reset();
    QCOMPARE((QStringList{a->path(), unlisted->path()}), (QStringList{"a", "b"}));
    a.reset();
    QCOMPARE(a1->path(), QStringLiteral("a1"));
    a1->setDataString(QStringLiteral("y"));
    QCOMPARE(a1->pendingChanges(), std::vector<DatacoreBase*>{a1.get()});
}

void TestDatacorePropagation::boolValidity_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QList<int>>("reasons"); // identifier + 100 * type
    QTest::addColumn<bool>("value");
    QTest::addColumn<QList<bool>>("values");

    QTest::newRow("list of legal items") << QStringList{"true", "false", "true"} << QList<int>{} << true
                                         << QList<bool>{true, false, true};
    QTest::newRow("two illegal items, one reason")
        << QStringList{"True", " false"} << QList<int>{210} << false << QList<bool>{false, false};
    QTest::newRow("illegal after a legal first item")
        << QStringList{"true", ""} << QList<int>{210} << true << QList<bool>{true, false};
    QTest::newRow("no item") << QStringList{} << QList<int>{221} << false << QList<bool>{};
}

void TestDatacorePropagation::boolValidity()
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
    QTEST(datacore.value(), "value");
    QCOMPARE(datacore.values(), std::deque<bool>(values.begin(), values.end()));

    datacore.setValue(false);
    QVERIFY(datacore.isValid());
}

QTEST_GUILESS_MAIN(TestDatacorePropagation)
#include "tst_datacorepropagation.moc"
