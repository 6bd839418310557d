#include "datacorebool.h"

#include <QtTest>

#include <deque>

class TestDatacoreBool : public QObject
{
    Q_OBJECT

private slots:
    void validity_data();
    void validity();
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
    QTest::newRow("two illegal items, one reason")
        << QStringList{"True", " false"} << QList<int>{210} << false << QList<bool>{false, false};
    QTest::newRow("illegal after a legal first item")
        << QStringList{"true", ""} << QList<int>{210} << true << QList<bool>{true, false};
    QTest::newRow("no item") << QStringList{} << QList<int>{221} << false << QList<bool>{};
}

void TestDatacoreBool::validity()
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

QTEST_GUILESS_MAIN(TestDatacoreBool)
#include "tst_datacorebool.moc"
