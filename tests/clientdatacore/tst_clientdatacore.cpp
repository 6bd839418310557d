#include "clientdatacore.h"
#include "clientdatacoremonitor.h"
#include "clientdatacorepathindex.h"
#include "clientdatacoreregistry.h"
#include "datacoreactivestatusmessage.h"
#include "datacorepacket.h"
#include "datacorevalidstatusmessage.h"
#include "logcapture.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"
#include "testframes.h"
#include "vqclientdatacoremanager.h"

#include <QtTest>

#include <cmath>
#include <cstdint>

using Setter = std::function<void(ClientDatacore&)>;
Q_DECLARE_METATYPE(Setter)

namespace {

const QString NAME = QStringLiteral("level");
const QString PATH = QStringLiteral("configCoreRouter/unit/level");

QJsonObject serverJson(const QJsonValue& data, const QJsonArray& invalid = {}, const QJsonArray& inactive = {})
{
    return {{NAME, QJsonObject{{"data", data}, {"reasonsForBeingInvalid", invalid}, {"reasonsForBeingInactive", inactive}}}};
}

QString joined(const QList<int>& values)
{
    QStringList texts;
    for (int value : values)
        texts.append(QString::number(value));
    return texts.join(QLatin1Char(','));
}

QString firstArguments(const QSignalSpy& spy)
{
    QList<int> values;
    for (const QList<QVariant>& arguments : spy)
        values.append(arguments.at(0).toInt());
    return joined(values);
}

const QString NO_DELIMITER = QStringLiteral("No delimiter, assuming root datacore and creating ClientDatacore for: ");

const SerialisableDataPacket FOUR_TREES(json(R"({"Class":"DatacorePathRadixTreePacket",)"
                                             R"("PersistentConfigTreeObject":{"Core":"persistentConfigCoreRouter"},)"
                                             R"("CommandTreeObject":{"Core":"commandCoreRouter","Kids":[{"Core":"executorCommander"}]},)"
                                             R"("StatusTreeObject":{"Core":"statusCoreRouter"},)"
                                             R"("ConfigTreeObject":{"Core":"configCoreRouter","Kids":[{"Core":"unit"}]}})"));
const SerialisableDataPacket OTHER_TREE(json(R"({"Class":"DatacorePathRadixTreePacket",)"
                                             R"("ConfigTreeObject":{"Core":"configCoreRouter","Kids":[{"Core":"other"}]}})"));

} // namespace

class TestClientDatacore : public QObject
{
    Q_OBJECT

private slots:
    void syncWithServer_data();
    void syncWithServer();
    void updates_data();
    void updates();
    void createDatacores_data();
    void createDatacores();
    void pathIndexGrowsWithoutReserve();
    void treePacketsUntilDisconnected();

private:
    NetworkConnection m_connection;
    ClientDatacoreMonitor m_monitor{&m_connection};
};

// Each step is "set <value>" (a local change), "server <value>" (a server
// packet), "answer <id> <value>" (the server's echo of this client's change)
// or "own-without-id <value>" (this client's id but no "PacketID"). The
// outcome lists the identifiers sent, the lost counts, the in-sync signals,
// whether each packet applied, the data, the identifiers still outstanding and
// the updates.
void TestClientDatacore::syncWithServer_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("outcome");

    QTest::newRow("unchanged value takes no identifier")
        << QStringList{"set a", "set a"} << "sent=0 lost= synced=0 applied= data=a outstanding=0 updated=1";
    QTest::newRow("answer to the third oldest: 3 lost, applied") << QStringList{"set a", "set b", "set c", "answer 2 d"}
        << "sent=0,1,2 lost=3 synced=1 applied=1 data=d outstanding= updated=4";
    QTest::newRow("oldest answer ignored while later out") << QStringList{"set a", "set b", "answer 0 c", "set d"}
        << "sent=0,1,2 lost= synced=0 applied=0 data=d outstanding=1,2 updated=3";
    QTest::newRow("identifiers restart at 0 once all are answered")
        << QStringList{"set a", "answer 0 a", "set b"} << "sent=0,0 lost= synced=1 applied=1 data=b outstanding=0 updated=2";
    QTest::newRow("answer with an unknown identifier is ignored")
        << QStringList{"set a", "answer 5 z"} << "sent=0 lost= synced=0 applied=0 data=a outstanding=0 updated=1";
    QTest::newRow("server change while outstanding applies without in-sync")
        << QStringList{"set a", "own-without-id z"} << "sent=0 lost= synced=0 applied=1 data=z outstanding=0 updated=2";
    QTest::newRow("server change with nothing outstanding is in sync")
        << QStringList{"server z", "server z"} << "sent= lost= synced=2 applied=11 data=z outstanding= updated=1";
}

void TestClientDatacore::syncWithServer()
{
    QFETCH(QStringList, steps);

    ClientDatacore datacore(QStringLiteral("ClientDatacore"), NAME, nullptr, PATH);
    QSignalSpy sent(&datacore, &ClientDatacore::clientDatacoreHasUpdateForServer);
    QSignalSpy outOfSync(&datacore, &ClientDatacore::datacoreOutOfSyncWithServer);
    QSignalSpy inSync(&datacore, &ClientDatacore::datacoreInSyncWithServer);
    QSignalSpy lost(&datacore, &ClientDatacore::lostPackets);
    QSignalSpy updated(&datacore, &ClientDatacore::datacoreUpdated);
    QString applied;
    for (const QString& step : steps) {
        const QStringList words = step.split(QLatin1Char(' '));
        const QJsonObject json = serverJson(words.last());
        if (words.first() == "set")
            datacore.setDataString(words.last());
        else
            applied += datacore.applyDatacorePacket(words.first() == "answer"
                                                        ? DatacorePacket("c", words.at(1).toInt(), json, PATH)
                                                        : DatacorePacket(json, PATH),
                                                    words.first() != "server") ? '1' : '0';
    }
    const QStringList outcome{"sent=" + firstArguments(sent), "lost=" + firstArguments(lost),
                              "synced=" + QString::number(inSync.count()), "applied=" + applied,
                              "data=" + datacore.data().join(QLatin1Char(',')),
                              "outstanding=" + joined(datacore.outstandingPacketIds()),
                              "updated=" + QString::number(updated.count())};
    QTEST(outcome.join(QLatin1Char(' ')), "outcome");
    QCOMPARE(outOfSync.count(), sent.count());
    QCOMPARE(datacore.changeState(), DatacoreChangeState::NoChange);
}

// The server's packet brings data and reasons, then a setter changes the data
// locally. One row per conversion, at the end of its type's range (the setters
// of one kind share it), and rows for the texts of the reasons.
void TestClientDatacore::updates_data()
{
    QTest::addColumn<QList<int>>("invalid"); // type, identifier, ...
    QTest::addColumn<bool>("active");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QList<bool>>("errorAndWarning"); // as joining them finds
    QTest::addColumn<Setter>("setter");
    QTest::addColumn<QStringList>("stored");

    const auto row = [](const char* name, Setter setter, const QStringList& stored) {
        QTest::newRow(name) << QList<int>() << true << QStringList() << QList<bool>{false, false} << setter << stored;
    };
    row("int64 list", [](auto& d) { d.setDataInt64List({INT64_MIN, 0}); }, {"-9223372036854775808", "0"});
    row("float keeps the float's binary value", [](auto& d) { d.setDataFloat(0.1f); }, {"0.10000000149011611938"});
    row("double list: 20 digits, exponent only where shorter",
        [](auto& d) { d.setDataDoubleList({0.1, 1e300, 1e-7, 9007199254740992.0, -HUGE_VAL, std::nan("")}); },
        {"0.10000000000000000555", "1.0000000000000000525e+300", "9.9999999999999995475e-08", "9007199254740992",
         "-inf", "nan"});
    row("point", [](auto& d) { d.setDataPoint(QPoint(10, -20)); }, {"10,-20"});
    const Setter setBool = [](ClientDatacore& d) { d.setDataBool(true); };
    QTest::newRow("a warning, inactive") << QList<int>{1, 0} << false << QStringList{"Warning: "}
                                         << QList<bool>{false, true} << setBool << QStringList{"true"};
    QTest::newRow("in order, each type, unknown type has no prefix")
        << QList<int>{0, 26, 7, 2, 2, 10} << true
        << QStringList{"Info: The stored value is not supported", "Stored integer is Oversized",
                       "Error: Stored value could not be deserialised into type boolean"}
        << QList<bool>{true, false} << setBool << QStringList{"true"};
}

void TestClientDatacore::updates()
{
    QFETCH(QList<int>, invalid);
    QFETCH(bool, active);
    QFETCH(QStringList, messages);
    QFETCH(Setter, setter);

    QJsonArray reasons;
    for (int i = 0; i < invalid.size(); i += 2)
        reasons.append(DatacoreValidStatusMessage(invalid.at(i), invalid.at(i + 1)).toJson());
    const QJsonArray inactive{DatacoreActiveStatusMessage(2, 1).toJson()};
    ClientDatacore datacore(QStringLiteral("ClientDatacore"), NAME, nullptr, PATH);
    datacore.applyDatacorePacket(DatacorePacket(serverJson(QJsonArray{"1", "2"}), PATH), false);
    QSignalSpy updated(&datacore, &ClientDatacore::datacoreUpdated);
    QSignalSpy sent(&datacore, &ClientDatacore::clientDatacoreHasUpdateForServer);
    datacore.applyDatacorePacket(
        DatacorePacket(serverJson(QJsonArray{"1", "3"}, reasons, active ? QJsonArray() : inactive), PATH), false);
    // A local change keeps the server's reasons: a client datacore never recalculates them.
    setter(datacore);
    QCOMPARE(updated.count(), 2);
    QCOMPARE(updated.at(0).at(0).toStringList(), (QStringList{"1", "3"}));
    QTEST(updated.at(1).at(0).toStringList(), "stored");
    QCOMPARE(firstArguments(sent), QStringLiteral("0"));
    for (const QList<QVariant>& arguments : updated) {
        QCOMPARE(arguments.at(1).toStringList(), messages);
        QCOMPARE(arguments.at(2).toBool(), active);
    }
    QList<bool> found{false, false};
    QCOMPARE(ClientDatacore::joinValidationMessages(messages, &found[0], &found[1]), messages.join(QLatin1Char('\n')));
    QTEST(found, "errorAndWarning");
}

void TestClientDatacore::createDatacores_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("registered");
    QTest::addColumn<QStringList>("warnings");

    QTest::newRow("incomplete path skipped, the rest created")
        << QStringList{"r", "r/", "r/a", "r/a/"} << QStringList{"r", "r/a"}
        << QStringList{NO_DELIMITER + "r", "Cannot create datacore with incomplete path: r/",
                       "Cannot create datacore with incomplete path: r/a/"};
    QTest::newRow("nameless root and its child") << QStringList{"", "/x"} << QStringList{"", "/x"}
                                                 << QStringList{NO_DELIMITER};
    QTest::newRow("repeated path keeps one") << QStringList{"r/a", "r/b", "r/a"} << QStringList{"r/a", "r/b"}
                                             << QStringList{"ClientDatacoreRegistry: Cannot create two cores for path 'r/a'."};
}

void TestClientDatacore::createDatacores()
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
        QVERIFY(registry.lookupDatacore(path));
        QCOMPARE(registry.lookupDatacore(path)->name(), path.section(QLatin1Char('/'), -1));
    }
}

void TestClientDatacore::pathIndexGrowsWithoutReserve()
{
    std::vector<std::unique_ptr<ClientDatacore>> datacores;
    ClientDatacorePathIndex index;
    for (int i = 0; i < 1000; ++i) {
        datacores.emplace_back(new ClientDatacore("ClientDatacore", "n", nullptr, QStringLiteral("r/%1").arg(i)));
        ClientDatacore*& slot = index.findOrInsert(datacores.back()->fullPath());
        QVERIFY(!slot);
        slot = datacores.back().get();
    }
    // Asked for less room than it uses, it keeps what it has.
    index.reserve(1);
    for (const auto& datacore : datacores)
        QCOMPARE(index.find(datacore->fullPath()), datacore.get());
    QCOMPARE((QList<int>{index.count(), int(index.datacores().size())}), (QList<int>{1000, 1000}));
}

// A tree packet populates the registry once: a second one is ignored until
// the connection is lost. Datacore packets and lookups reach only the exact
// path.
void TestClientDatacore::treePacketsUntilDisconnected()
{
    SerialisableDataPacketDistributor distributor;
    VqClientDatacoreManager manager(&m_connection, &distributor);
    ClientDatacoreRegistry* registry = manager.registry();
    QSignalSpy populated(registry, &ClientDatacoreRegistry::registryHasBeenPopulated);
    QSignalSpy cleared(registry, &ClientDatacoreRegistry::registryHasBeenCleared);
    LogCapture capture;
    distributor.acceptPacket(FOUR_TREES);
    // Roots in the order config, status, command, persistent.
    QCOMPARE(capture.messages(), (QStringList{NO_DELIMITER + "configCoreRouter", NO_DELIMITER + "statusCoreRouter",
                                              NO_DELIMITER + "commandCoreRouter", NO_DELIMITER + "persistentConfigCoreRouter"}));
    const QStringList registered = registry->paths();
    QCOMPARE(registered, (QStringList{"commandCoreRouter", "commandCoreRouter/executorCommander", "configCoreRouter",
                                      "configCoreRouter/unit", "persistentConfigCoreRouter", "statusCoreRouter"}));

    capture.clear();
    ClientDatacore* status = registry->lookupDatacore("statusCoreRouter");
    QList<ClientDatacore*> answers;
    connect(registry, &ClientDatacoreRegistry::lookupRequestResult, this,
            [&answers](ClientDatacore* found) { answers << found; });
    for (const char* path : {"StatusCoreRouter", "/statusCoreRouter", "statusCoreRouter"}) {
        distributor.acceptPacket(DatacorePacket(QJsonObject{{"statusCoreRouter", QJsonObject{{"data", "x"}}}}, path));
        registry->requestLookupDatacoreFromPath(path);
    }
    QCOMPARE(status->data(), QStringList{"x"});
    const QString none = "Client datacore populator: Registry does not contain datacore with path: ";
    QCOMPARE(capture.messages(spdlog::level::info), (QStringList{none + "StatusCoreRouter", none + "/statusCoreRouter"}));
    QCOMPARE(answers, (QList<ClientDatacore*>{nullptr, nullptr, status}));

    distributor.acceptPacket(OTHER_TREE);
    QCOMPARE(populated.count(), 1);
    QCOMPARE(registry->paths(), registered);
    QCOMPARE(registry->lookupDatacore("statusCoreRouter"), status);

    QStringList destroyed;
    for (const QString& path : registered)
        connect(registry->lookupDatacore(path), &QObject::destroyed, this, [&destroyed, path] { destroyed.append(path); });
    // The loss may be reported from inside a call on a datacore: they are
    // deleted from the event loop, and silent until then.
    emit m_connection.disconnectedFromHost();
    QCOMPARE(cleared.count(), 1);
    QVERIFY(registry->isEmpty() && destroyed.isEmpty());
    QSignalSpy updated(status, &ClientDatacore::datacoreUpdated);
    status->setDataString("late");
    QCOMPARE(updated.count(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(destroyed, registered);
    emit m_connection.disconnectedFromHost();
    distributor.acceptPacket(OTHER_TREE);
    QCOMPARE((QList<int>{cleared.count(), populated.count()}), (QList<int>{1, 2}));
    QVERIFY(registry->lookupDatacore("configCoreRouter/other"));
}

QTEST_GUILESS_MAIN(TestClientDatacore)
#include "tst_clientdatacore.moc"
