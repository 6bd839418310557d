#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "datacorepacket.h"
#include "datacorevalidstatusmessage.h"
#include "logcapture.h"
#include "networkconnection.h"
#include "serialisabledatapacketdistributor.h"
#include "vqclientdatacoremanager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

const QString IGMP_PATH = QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion");
const QString IGMP_NAME = QStringLiteral("brevEth0IgmpMaxVersion");
const QByteArray TREES = R"({"Class":"DatacorePathRadixTreePacket","ClientId":"1",)"
                         R"("ConfigTreeObject":{"Core":"configCoreRouter","Kids":[{"Core":"systemController",)"
                         R"("Kids":[{"Core":"brevEth0IgmpMaxVersion"}]}]},)"
                         R"("StatusTreeObject":{"Core":"statusCoreRouter"},)"
                         R"("CommandTreeObject":{"Core":"commandCoreRouter"},)"
                         R"("PersistentConfigTreeObject":{"Core":"persistentConfigCoreRouter"}})";

QJsonObject igmpJson(const QString& value, const QJsonArray& invalid = {})
{
    return {{IGMP_NAME, QJsonObject{{"data", value},
                                    {"class", "DatacoreUint"},
                                    {"reasonsForBeingInvalid", invalid},
                                    {"reasonsForBeingInactive", QJsonArray()}}}};
}

} // namespace

// Both ends of the mirror: the client's connection, distributor and manager,
// and the server's end, a plain socket that writes frames and cuts what it
// receives back into JSON objects.
class MirrorLoop
{
public:
    bool accept()
    {
        if (!connection.connectToHost(QHostAddress(QHostAddress::LocalHost), m_server.serverPort())
            || !m_server.waitForNewConnection(5000))
            return false;
        m_peer.reset(m_server.nextPendingConnection());
        QObject::connect(m_peer.get(), &QIODevice::readyRead, [this] { m_received += m_peer->readAll(); });
        return true;
    }

    bool connectAndPopulate()
    {
        if (!m_server.listen(QHostAddress::LocalHost, 0) || !accept())
            return false;
        QSignalSpy populated(manager.registry(), &ClientDatacoreRegistry::registryHasBeenPopulated);
        send(SerialisableDataPacket(QJsonDocument::fromJson(TREES).object()));
        return populated.wait(5000);
    }

    void send(const SerialisableDataPacket& packet)
    {
        writePacket(packet, m_peer.get());
        m_peer->flush();
    }

    QList<QJsonObject> received()
    {
        QList<QJsonObject> objects;
        int offset = 0;
        for (;;) {
            const RawDataPacketHeader header = readHeader(m_received.constData() + offset, m_received.size() - offset);
            if (header.packetType != SerialisableDataPacket::PACKET_TYPE)
                break;
            const int size = RawDataPacketHeader::SIZE + int(header.payloadLength);
            objects.append(SerialisableDataPacket(m_received.mid(offset, size), header).jsonObject());
            offset += size;
        }
        return objects;
    }

    QTcpSocket* peer() { return m_peer.get(); }

private:
    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_peer;
    QByteArray m_received;

public:
    NetworkConnection connection;
    SerialisableDataPacketDistributor distributor;
    VqClientDatacoreManager manager{&connection, &distributor};
};

class TestClientMirrorLoop : public QObject
{
    Q_OBJECT

private slots:
    void localChangesAndServerAnswers();
    void disconnectionClearsAndNextTreeRebuilds();
};

void TestClientMirrorLoop::localChangesAndServerAnswers()
{
    MirrorLoop loop;
    QVERIFY(loop.connectAndPopulate());
    ClientDatacore* igmp = loop.manager.registry()->lookupDatacore(IGMP_PATH);
    QVERIFY(igmp);
    QSignalSpy updated(igmp, &ClientDatacore::datacoreUpdated);
    QSignalSpy inSync(igmp, &ClientDatacore::datacoreInSyncWithServer);

    loop.send(DatacorePacket(igmpJson("2"), IGMP_PATH));
    QTRY_COMPARE(igmp->data(), QStringList{"2"});
    QCOMPARE(inSync.count(), 1);

    // Only the local change goes out; what the server sent is not echoed.
    igmp->setDataUint(3);
    QTRY_COMPARE(loop.received().size(), 1);
    const QString clientId = QString::number(QHostAddress(QHostAddress::LocalHost).toIPv4Address())
        + QString::number(loop.peer()->peerPort());
    QCOMPARE(loop.connection.clientIdentifier(), clientId);
    const QJsonObject expected{{"Class", "DatacorePacket"}, {"ClientID", clientId}, {"PacketID", 0},
                               {"Path", IGMP_PATH}, {"Datacore", QJsonObject{{IGMP_NAME, QJsonObject{{"data", "3"}}}}}};
    QCOMPARE(loop.received().at(0), expected);

    const QJsonArray warning{DatacoreValidStatusMessage(1, 26).toJson()};
    loop.send(DatacorePacket(clientId, 0, igmpJson("3", warning), IGMP_PATH));
    QTRY_COMPARE(inSync.count(), 2);
    QVERIFY(igmp->outstandingPacketIds().isEmpty());
    QCOMPARE(updated.last().at(1).toStringList(), QStringList{"Warning: The stored value is not supported"});

    // Another client's change with the same packet identifier is a server change, not an answer.
    igmp->setDataUint(4);
    QTRY_COMPARE(loop.received().size(), 2);
    QCOMPARE(loop.received().at(1).value("PacketID").toInt(), 0);
    loop.send(DatacorePacket(clientId + "0", 0, igmpJson("7"), IGMP_PATH));
    loop.send(DatacorePacket(igmpJson("8"), IGMP_PATH));
    QTRY_COMPARE(igmp->data(), QStringList{"8"});
    QCOMPARE(inSync.count(), 2);
    QCOMPARE(igmp->outstandingPacketIds(), QList<int>{0});

    loop.send(DatacorePacket(clientId, 0, igmpJson("4"), IGMP_PATH));
    QTRY_COMPARE(inSync.count(), 3);
    QCOMPARE(igmp->data(), QStringList{"4"});
    QCOMPARE(loop.received().size(), 2);
}

void TestClientMirrorLoop::disconnectionClearsAndNextTreeRebuilds()
{
    MirrorLoop loop;
    QVERIFY(loop.connectAndPopulate());
    ClientDatacoreRegistry* registry = loop.manager.registry();
    QPointer<ClientDatacore> igmp = registry->lookupDatacore(IGMP_PATH);
    QSignalSpy cleared(registry, &ClientDatacoreRegistry::registryHasBeenCleared);

    loop.peer()->disconnectFromHost();
    QTRY_COMPARE(cleared.count(), 1);
    QVERIFY(registry->isEmpty());
    QVERIFY(igmp.isNull());

    QVERIFY(loop.accept());
    LogCapture capture;
    loop.send(DatacorePacket(igmpJson("5"), IGMP_PATH));
    QTRY_COMPARE(capture.count(spdlog::level::info,
                               "Client datacore populator: Registry is empty, no way to populate: " + IGMP_PATH),
                 1);

    QSignalSpy populated(registry, &ClientDatacoreRegistry::registryHasBeenPopulated);
    loop.send(SerialisableDataPacket(QJsonDocument::fromJson(TREES).object()));
    loop.send(DatacorePacket(igmpJson("5"), IGMP_PATH));
    QTRY_VERIFY(registry->lookupDatacore(IGMP_PATH) && registry->lookupDatacore(IGMP_PATH)->data() == QStringList{"5"});
    QCOMPARE(populated.count(), 1);
    QCOMPARE(registry->paths().size(), 6);
}

QTEST_GUILESS_MAIN(TestClientMirrorLoop)
#include "tst_clientmirrorloop.moc"
