#include "datacorebool.h"

#include <QtTest>

#include <deque>

namespace {

QList<int> reasonCodes(const DatacoreBase& datacore)
{
    std::list<DatacoreValidStatusMessage> reasons;
    datacore.reasonsForBeingInvalid(reasons);
    QList<int> codes;
    for (const DatacoreValidStatusMessage& reason : reasons)
        codes << reason.identifier() + 100 * reason.type();
    return codes;
}

QString describe(const DatacoreBase& datacore)
{
    return datacore.className() + QLatin1Char('|') + datacore.data().join(QLatin1Char(',')) + QLatin1Char('|')
        + QString::number(int(datacore.changeState()));
}

} // namespace

class TestDatacoreBool : public QObject
{
    Q_OBJECT

private slots:
    void validity_data();
    void validity();
    void constructors();
    void settersOnlyPropagateChanges();
};

void TestDatacoreBool::validity_data()
{
    QTest::addColumn<QStringList>("data");
    // identifier + 100 * type
    QTest::addColumn<QList<int>>("reasons");
    QTest::addColumn<bool>("value");
    QTest::addColumn<QList<bool>>("values");

    QTest::newRow("list of legal items") << QStringList{"true", "false", "true"} << QList<int>{} << true
                                         << QList<bool>{true, false, true};
    QTest::newRow("capitalised") << QStringList{"True"} << QList<int>{210} << false << QList<bool>{false};
    QTest::newRow("two illegal items, one reason")
        << QStringList{"TRUE", "x"} << QList<int>{210} << false << QList<bool>{false, false};
    QTest::newRow("illegal after a legal first item")
        << QStringList{"true", "1"} << QList<int>{210} << true << QList<bool>{true, false};
    QTest::newRow("surrounding blank") << QStringList{" false"} << QList<int>{210} << false << QList<bool>{false};
    QTest::newRow("empty string") << QStringList{""} << QList<int>{210} << false << QList<bool>{false};
    QTest::newRow("no item") << QStringList{} << QList<int>{221} << false << QList<bool>{};
}

void TestDatacoreBool::validity()
{
    QFETCH(QStringList, data);
    QFETCH(QList<bool>, values);

    DatacoreBool datacore(QStringLiteral("flag"), nullptr, QList<bool>{true, true});
    datacore.setData(data);
    QTEST(reasonCodes(datacore), "reasons");
    QTEST(datacore.value(), "value");
    QCOMPARE(datacore.values(), std::deque<bool>(values.begin(), values.end()));

    datacore.setValue(false);
    QVERIFY(datacore.isValid());
}

void TestDatacoreBool::constructors()
{
    DatacoreBase parent(QStringLiteral("p"), nullptr);
    const QString flag = QStringLiteral("flag");
    const QString custom = QStringLiteral("Custom");
    QCOMPARE(describe(DatacoreBool(custom, flag, &parent, true)), QStringLiteral("Custom|true|2"));
    QCOMPARE(describe(DatacoreBool(flag, &parent, true)), QStringLiteral("DatacoreBool|true|2"));
    QCOMPARE(describe(DatacoreBool(custom, flag, &parent)), QStringLiteral("Custom|false|2"));
    QCOMPARE(describe(DatacoreBool(flag, &parent)), QStringLiteral("DatacoreBool|false|2"));
    QCOMPARE(describe(DatacoreBool(flag, &parent, QList<bool>{false, true})),
             QStringLiteral("DatacoreBool|false,true|2"));
    QCOMPARE(describe(DatacoreBool(flag, &parent, QList<bool>{})), QStringLiteral("DatacoreBool||2"));
    // Not validated until something recalculates.
    DatacoreBool empty(flag, nullptr, QList<bool>{});
    QVERIFY(empty.isValid());
    empty.initialise();
    QCOMPARE(reasonCodes(empty), QList<int>{221});
    QVERIFY(parent.childDatacores().isEmpty());
}

void TestDatacoreBool::settersOnlyPropagateChanges()
{
    DatacoreBase root(QStringLiteral("root"), nullptr);
    DatacoreBool datacore(QStringLiteral("flag"), &root, true);
    datacore.resetChangeState();
    datacore.setValue(true);
    datacore.setValues({true});
    QCOMPARE(datacore.changeState(), DatacoreChangeState::NoChange);
    QVERIFY(root.pendingChanges().empty());

    datacore.setValues({false, true});
    QCOMPARE(datacore.data(), (QStringList{"false", "true"}));
    QCOMPARE(datacore.changeState(), DatacoreChangeState::ChangedLocally);
    QCOMPARE(root.pendingChanges(), std::vector<DatacoreBase*>{&datacore});
}

QTEST_GUILESS_MAIN(TestDatacoreBool)
#include "tst_datacorebool.moc"
