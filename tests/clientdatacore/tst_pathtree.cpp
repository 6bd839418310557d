#include "datacorebase.h"
#include "datacorepathradixtreepacket.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject json(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

} // namespace

class TestPathTree : public QObject
{
    Q_OBJECT

private slots:
    void flatten_data();
    void flatten();
    void writtenTree();
};

void TestPathTree::flatten_data()
{
    QTest::addColumn<QByteArray>("tree");
    QTest::addColumn<QStringList>("paths");

    QTest::newRow("root without kids") << QByteArray(R"({"Core":"commandCoreRouter"})")
                                       << QStringList{"commandCoreRouter"};
    QTest::newRow("depth first, each node before its kids, array order")
        << QByteArray(R"({"Core":"r","Kids":[{"Core":"z","Kids":[{"Core":"y"},{"Core":"x"}]},{"Core":"a"}]})")
        << QStringList{"r", "r/z", "r/z/y", "r/z/x", "r/a"};
    QTest::newRow("names joined as they stand")
        << QByteArray(R"({"Core":" R ","Kids":[{"Core":"a/b"},{"Core":"ä"}]})")
        << QStringList{" R ", " R /a/b", " R /ä"};
    QTest::newRow("Kids not an array") << QByteArray(R"({"Core":"r","Kids":{"Core":"x"}})") << QStringList{"r"};
    QTest::newRow("kid not an object") << QByteArray(R"({"Core":"r","Kids":[5,{"Core":"x"}]})")
                                       << QStringList{"r", "r/", "r/x"};
    QTest::newRow("Core not a string") << QByteArray(R"({"Core":7,"Kids":[{"Core":"x"}]})")
                                       << QStringList{"", "/x"};
    QTest::newRow("empty object") << QByteArray("{}") << QStringList{""};
}

void TestPathTree::flatten()
{
    QFETCH(QByteArray, tree);
    QFETCH(QStringList, paths);

    DatacorePathRadixTreePacket packet;
    packet.jsonObject().insert(QStringLiteral("StatusTreeObject"), json(tree));
    QCOMPARE(flattenPathTree(packet.statusTree()), paths);
}

void TestPathTree::writtenTree()
{
    DatacoreBase root(QStringLiteral("commandCoreRouter"), nullptr);
    DatacoreBase b(QStringLiteral("b"), &root);
    DatacoreBase a(QStringLiteral("a"), &root);
    DatacoreBase x(QStringLiteral("x"), &a, QStringLiteral("data is not written"));

    DatacorePathRadixTreePacket packet;
    packet.setCommandTree(root);
    packet.setClientId(QStringLiteral("42"));
    QCOMPARE(QJsonDocument(packet.jsonObject()).toJson(QJsonDocument::Compact),
             QByteArray(R"({"Class":"DatacorePathRadixTreePacket","ClientId":"42","CommandTreeObject":)"
                        R"({"Core":"commandCoreRouter","Kids":[{"Core":"a","Kids":[{"Core":"x"}]},{"Core":"b"}]}})"));
    QCOMPARE(flattenPathTree(packet.commandTree()),
             (QStringList{"commandCoreRouter", "commandCoreRouter/a", "commandCoreRouter/a/x", "commandCoreRouter/b"}));
}

QTEST_GUILESS_MAIN(TestPathTree)
#include "tst_pathtree.moc"
