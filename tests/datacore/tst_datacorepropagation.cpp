#include "datacorebase.h"
#include "testframes.h"

#include <QtTest>

#include <algorithm>
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

Q_DECLARE_METATYPE(DatacoreChangeState)

class TestDatacorePropagation : public QObject
{
    Q_OBJECT

private slots:
    void deserialiseFlushesOnce();
    void changeStates_data();
    void changeStates();
    void manyPendingChanges_data();
    void manyPendingChanges();
    void initialiseWalksChildrenFirst();
    void teardownInAnyOrder();
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
    QCOMPARE(root.count("calc"), 1);
    QCOMPARE(x.count("calc"), 0);

    // A local change recalculates every ancestor, but runs only its own hook.
    log.clear();
    root.resetChangeStateRecursive();
    for (int i = 0; i < 3; ++i)
        x.setDataString(QString::number(i));
    QCOMPARE(root.count("calc"), 3);
    QCOMPARE(root.count("changed"), 0);
    QCOMPARE(x.count("changed"), 3);
}

void TestDatacorePropagation::changeStates_data()
{
    QTest::addColumn<QString>("localValue");
    QTest::addColumn<QByteArray>("serverData");
    QTest::addColumn<DatacoreChangeState>("state");
    QTest::addColumn<int>("changedHooks");

    // The datacore holds "v" with state NoChange before the row's steps.
    const QString noLocal;
    QTest::newRow("server change") << noLocal << QByteArray("\"w\"") << DatacoreChangeState::ChangedByDeserialisation
                                   << 1;
    QTest::newRow("server sends the same value") << noLocal << QByteArray("\"v\"") << DatacoreChangeState::NoChange << 0;
    QTest::newRow("local change") << "l" << QByteArray() << DatacoreChangeState::ChangedLocally << 1;
    QTest::newRow("local change survives server change")
        << "l" << QByteArray("\"w\"") << DatacoreChangeState::ChangedLocally << 2;
}

void TestDatacorePropagation::changeStates()
{
    QFETCH(QString, localValue);
    QFETCH(QByteArray, serverData);

    QStringList log;
    CountingDatacore datacore(QStringLiteral("d"), nullptr, &log);
    datacore.resetChangeState();
    if (!localValue.isNull())
        datacore.setDataString(localValue);
    std::list<DatacoreJsonMessage> messages;
    if (!serverData.isNull())
        QVERIFY(datacore.deserialise(QString(), json("{\"d\":{\"data\":" + serverData + "}}"), true, messages));
    QTEST(datacore.changeState(), "state");
    QTEST(datacore.count("changed"), "changedHooks");
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

void TestDatacorePropagation::initialiseWalksChildrenFirst()
{
    QStringList log;
    CountingDatacore root(QStringLiteral("root"), nullptr, &log);
    CountingDatacore a(QStringLiteral("a"), &root, &log);
    CountingDatacore a1(QStringLiteral("a1"), &a, &log);
    CountingDatacore b(QStringLiteral("b"), &root, &log);

    // Nothing changes, so nothing propagates: the bare walk.
    root.initialise();
    QCOMPARE(log, (QStringList{"calc a1", "calc a", "calc b", "calc root", "valid a1", "valid a", "valid b",
                               "valid root"}));

    // New reasons propagate as local changes (a1's reaches the root before the
    // walk does), and the states are reset after.
    log.clear();
    root.setInvalid(true);
    a1.setInvalid(true);
    root.initialise();
    const QStringList tail = log.mid(log.lastIndexOf(QRegularExpression("calc .*")) + 1);
    QCOMPARE(tail, (QStringList{"valid a", "valid b"}));
    QCOMPARE(root.count("changed") + a1.count("changed"), 2);
    for (const DatacoreBase* datacore : std::initializer_list<const DatacoreBase*>{&root, &a, &a1, &b})
        QCOMPARE(datacore->changeState(), DatacoreChangeState::NoChange);
    QVERIFY(!root.isValid() && !a1.isValid() && a.isValid() && b.isValid());
    QVERIFY(!a.allChildrenValid() && b.allChildrenValid());
}

void TestDatacorePropagation::teardownInAnyOrder()
{
    QStringList log;
    auto root = std::make_unique<CountingDatacore>(QStringLiteral("root"), nullptr, &log);
    auto child = std::make_unique<CountingDatacore>(QStringLiteral("child"), root.get(), &log);
    auto unlisted = std::make_unique<CountingDatacore>(QStringLiteral("child"), root.get(), &log);
    auto grandchild = std::make_unique<CountingDatacore>(QStringLiteral("g"), child.get(), &log);
    grandchild->setDataString(QStringLiteral("x"));

    root.reset();
    QCOMPARE(child->path(), QStringLiteral("child"));
    QCOMPARE(unlisted->path(), QStringLiteral("child"));
    child.reset();
    QCOMPARE(grandchild->path(), QStringLiteral("g"));
    grandchild->setDataString(QStringLiteral("y"));
    QCOMPARE(grandchild->pendingChanges(), std::vector<DatacoreBase*>{grandchild.get()});
}

QTEST_GUILESS_MAIN(TestDatacorePropagation)
#include "tst_datacorepropagation.moc"
