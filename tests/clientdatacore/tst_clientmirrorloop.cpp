#include "clientmirror.h"
#include "datacorepacket.h"
#include "fakeserver.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString IGMP_PATH = QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion");
const QString IGMP_NAME = QStringLiteral("brevEth0IgmpMaxVersion");

QJsonObject igmpJson(const QString& value)
{
    return {{IGMP_NAME, QJsonObject{{"data", value},
                                    {"class", "DatacoreUint"},
                                    {"reasonsForBeingInvalid", QJsonArray()},
                                    {"reasonsForBeingInactive", QJsonArray()}}}};
}

} // namespace

// The client's whole mirror against the fake server, which takes the first
// change and then reads no more, so that the test alone answers it.
class TestClientMirrorLoop : public QObject
{
    Q_OBJECT

private slots:
    void localChangesAndServerAnswers();
};

void TestClientMirrorLoop::localChangesAndServerAnswers()
{
    FakeServer server;
    server.setDatacore(IGMP_PATH, "2");
    server.failNextConnection(FakeServer::Fault::StopReading, FakeServer::Step::OnChange);
    QVERIFY(server.listen());
    ClientMirror mirror;
    QVERIFY(mirror.connect(server.port()));
    QTRY_VERIFY(mirror.datacore(IGMP_PATH) && mirror.datacore(IGMP_PATH)->data() == QStringList{"2"});
    ClientDatacore* igmp = mirror.datacore(IGMP_PATH);
    QSignalSpy inSync(igmp, &ClientDatacore::datacoreInSyncWithServer);

    // Only the local change goes out; what the server sent is not echoed.
    igmp->setDataUint(3);
    QTRY_COMPARE(server.received().size(), 1);
    const QString clientId = mirror.connection.clientIdentifier();
    const QJsonObject expected{{"Class", "DatacorePacket"}, {"ClientID", clientId}, {"PacketID", 0},
                               {"Path", IGMP_PATH}, {"Datacore", QJsonObject{{IGMP_NAME, QJsonObject{{"data", "3"}}}}}};
    QCOMPARE(server.received().at(0), expected);

    // Another client's change with the same packet identifier is a server
    // change, not the answer: applied, but the mirror is not yet in sync.
    server.sendToAll(DatacorePacket(clientId + "0", 0, igmpJson("7"), IGMP_PATH));
    server.sendToAll(DatacorePacket(igmpJson("8"), IGMP_PATH));
    QTRY_COMPARE(igmp->data(), QStringList{"8"});
    QCOMPARE(inSync.count(), 0);
    QCOMPARE(igmp->outstandingPacketIds(), QList<int>{0});

    server.sendToAll(DatacorePacket(clientId, 0, igmpJson("3"), IGMP_PATH));
    QTRY_COMPARE(inSync.count(), 1);
    QCOMPARE(igmp->data(), QStringList{"3"});
    QVERIFY(igmp->outstandingPacketIds().isEmpty());
}

QTEST_GUILESS_MAIN(TestClientMirrorLoop)
#include "tst_clientmirrorloop.moc"
