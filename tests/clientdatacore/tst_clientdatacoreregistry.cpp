#include "clientdatacore.h"
#include "clientdatacoremonitor.h"
#include "clientdatacorepathindex.h"
#include "clientdatacoreregistry.h"
#include "datacorepacket.h"
#include "datacorepathradixtreepacket.h"
#include "logcapture.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"
#include "testframes.h"
#include "vqclientdatacoremanager.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

QString noDelimiter(const QString& path)
{
    return "No delimiter, assuming root datacore and creating ClientDatacore for: " + path;
}

QString twoCores(const QString& path)
{
    return "ClientDatacoreRegistry: Cannot create two cores for path '" + path + "'.";
}

SerialisableDataPacket treePacket(const QByteArray& trees)
{
    SerialisableDataPacket packet(json(trees));
    packet.jsonObject().insert(QStringLiteral("Class"), QStringLiteral("DatacorePathRadixTreePacket"));
    return packet;
}

const QByteArray FOUR_TREES = R"({"PersistentConfigTreeObject":{"Core":"persistentConfigCoreRouter"},)"
                              R"("CommandTreeObject":{"Core":"commandCoreRouter","Kids":[{"Core":"executorCommander"}]},)"
                              R"("StatusTreeObject":{"Core":"statusCoreRouter"},)"
                              R"("ConfigTreeObject":{"Core":"configCoreRouter","Kids":[{"Core":"unit"}]}})";

} // namespace

class TestClientDatacoreRegistry : public QObject
{
    Q_OBJECT

private slots:
    void createDatacores_data();
    void createDatacores();
    void populatedUntilDisconnected();
    void pathIndexGrowsWithoutReserve();
    void treePackets();

private:
    NetworkConnection m_connection;
    ClientDatacoreMonitor m_monitor{&m_connection};
};

void TestClientDatacoreRegistry::createDatacores_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("registered");
    QTest::addColumn<QStringList>("warnings");

    QTest::newRow("incomplete path skipped, the rest created")
        << QStringList{"r", "r/", "r/a", "r/a/"} << QStringList{"r", "r/a"}
        << QStringList{noDelimiter("r"), "Cannot create datacore with incomplete path: r/",
                       "Cannot create datacore with incomplete path: r/a/"};
    QTest::newRow("nameless root and its child") << QStringList{"", "/x"} << QStringList{"", "/x"}
                                                 << QStringList{noDelimiter("")};
    QTest::newRow("repeated path keeps one") << QStringList{"r/a", "r/b", "r/a"} << QStringList{"r/a", "r/b"}
                                             << QStringList{twoCores("r/a")};
}

void TestClientDatacoreRegistry::createDatacores()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, registered);
    QFETCH(QStringList, warnings);

    ClientDatacoreRegistry registry(&m_connection);
    QSignalSpy populated(&registry, &ClientDatacoreRegistry::registryHasBeenPopulated);
    LogCapture capture;
    registry.createDatacores(paths, &m_monitor);
    QCOMPARE(populated.count(), 1);
    QCOMPARE(capture.messages(spdlog::level::warn), warnings);
    QCOMPARE(capture.messages().size(), warnings.size());
    QCOMPARE(registry.paths(), registered);
    for (const QString& path : registered) {
        ClientDatacore* datacore = registry.lookupDatacore(path);
        QVERIFY(datacore);
        QCOMPARE(datacore->fullPath(), path);
        QCOMPARE(datacore->name(), path.section(QLatin1Char('/'), -1));
    }
}

void TestClientDatacoreRegistry::populatedUntilDisconnected()
{
    ClientDatacoreRegistry registry(&m_connection);
    QSignalSpy cleared(&registry, &ClientDatacoreRegistry::registryHasBeenCleared);
    registry.createDatacores({"r", "r/b", "r/a"}, &m_monitor);
    ClientDatacore* first = registry.lookupDatacore("r/a");
    QSignalSpy populated(&registry, &ClientDatacoreRegistry::registryHasBeenPopulated);
    registry.createDatacores({"r/a", "s"}, &m_monitor);
    QCOMPARE(populated.count(), 0);
    QCOMPARE(registry.paths(), (QStringList{"r", "r/a", "r/b"}));
    QCOMPARE(registry.lookupDatacore("r/a"), first);
    // Asked by name, only the exact path answers.
    QSignalSpy answers(&registry, &ClientDatacoreRegistry::lookupRequestResult);
    for (const char* path : {"r/a", "r/A", "/r/a"})
        registry.requestLookupDatacoreFromPath(path);
    QCOMPARE(answers.count(), 3);
    QCOMPARE(answers.at(0).at(0).value<ClientDatacore*>(), first);
    QVERIFY(!answers.at(1).at(0).value<ClientDatacore*>() && !answers.at(2).at(0).value<ClientDatacore*>());

    QList<QPointer<ClientDatacore>> datacores;
    QStringList destroyed;
    for (const QString& path : registry.paths()) {
        datacores.append(registry.lookupDatacore(path));
        connect(datacores.last(), &QObject::destroyed, this, [&destroyed, path] { destroyed.append(path); });
    }
    // The loss may be reported from inside a call on a datacore: they are
    // deleted from the event loop, and silent until then.
    emit m_connection.disconnectedFromHost();
    QCOMPARE(cleared.count(), 1);
    QVERIFY(registry.isEmpty());
    QVERIFY(destroyed.isEmpty());
    QSignalSpy updated(datacores.first(), &ClientDatacore::datacoreUpdated);
    datacores.first()->setDataString("late");
    QCOMPARE(updated.count(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(destroyed, (QStringList{"r", "r/a", "r/b"}));
    for (const QPointer<ClientDatacore>& datacore : datacores)
        QVERIFY(datacore.isNull());
    emit m_connection.disconnectedFromHost();
    QCOMPARE(cleared.count(), 1);
}

void TestClientDatacoreRegistry::pathIndexGrowsWithoutReserve()
{
    std::vector<std::unique_ptr<ClientDatacore>> datacores;
    ClientDatacorePathIndex index;
    for (int i = 0; i < 1000; ++i) {
        const QString path = QStringLiteral("r/%1").arg(i);
        datacores.emplace_back(new ClientDatacore(QStringLiteral("ClientDatacore"), QString::number(i), nullptr, path));
        ClientDatacore*& slot = index.findOrInsert(path);
        QVERIFY(!slot);
        slot = datacores.back().get();
    }
    // Asked for less room than it uses, it keeps what it has.
    index.reserve(1);
    for (const auto& datacore : datacores)
        QCOMPARE(index.find(datacore->fullPath()), datacore.get());
    QCOMPARE(index.count(), 1000);
    QCOMPARE(int(index.datacores().size()), 1000);
}

// A tree packet populates the registry once: a second one is ignored until
// the connection is lost. Datacore packets reach only the exact path.
void TestClientDatacoreRegistry::treePackets()
{
    const QStringList registered{"commandCoreRouter", "commandCoreRouter/executorCommander", "configCoreRouter",
                                 "configCoreRouter/unit", "persistentConfigCoreRouter", "statusCoreRouter"};
    SerialisableDataPacketDistributor distributor;
    VqClientDatacoreManager manager(&m_connection, &distributor);
    ClientDatacoreRegistry* registry = manager.registry();
    QSignalSpy populated(registry, &ClientDatacoreRegistry::registryHasBeenPopulated);
    LogCapture capture;
    distributor.acceptPacket(treePacket(FOUR_TREES));
    QCOMPARE(populated.count(), 1);
    // Roots in the order config, status, command, persistent.
    QCOMPARE(capture.messages(), (QStringList{noDelimiter("configCoreRouter"), noDelimiter("statusCoreRouter"),
                                              noDelimiter("commandCoreRouter"), noDelimiter("persistentConfigCoreRouter")}));
    QCOMPARE(registry->paths(), registered);

    capture.clear();
    ClientDatacore* status = registry->lookupDatacore("statusCoreRouter");
    QSignalSpy inSync(status, &ClientDatacore::datacoreInSyncWithServer);
    for (const char* path : {"StatusCoreRouter", "statusCoreRouter"})
        distributor.acceptPacket(DatacorePacket(QJsonObject{{"statusCoreRouter", QJsonObject{{"data", "x"}}}}, path));
    QCOMPARE(status->data(), QStringList{"x"});
    QCOMPARE(inSync.count(), 1);
    QCOMPARE(capture.messages(spdlog::level::info),
             QStringList{"Client datacore populator: Registry does not contain datacore with path: StatusCoreRouter"});

    const QByteArray other = R"({"ConfigTreeObject":{"Core":"configCoreRouter","Kids":[{"Core":"other"}]}})";
    distributor.acceptPacket(treePacket(other));
    QCOMPARE(registry->paths(), registered);
    emit m_connection.disconnectedFromHost();
    distributor.acceptPacket(treePacket(other));
    QCOMPARE(populated.count(), 2);
    QVERIFY(registry->lookupDatacore("configCoreRouter/other"));
}

QTEST_GUILESS_MAIN(TestClientDatacoreRegistry)
#include "tst_clientdatacoreregistry.moc"
