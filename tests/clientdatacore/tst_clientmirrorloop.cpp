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

// The server's end: a plain socket that writes frames and cuts what it
// receives back into JSON objects.
class ServerEnd
{
public:
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }

    bool accept()
    {
        if (!m_server.waitForNewConnection(5000))
            return false;
        m_peer.reset(m_server.nextPendingConnection());
        QObject::connect(m_peer.get(), &QIODevice::readyRead, [this] { m_received += m_peer->readAll(); });
        return true;
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
            const RawDataPacketHeader header =
                readHeader(m_received.constData() + offset, m_received.size() - offset);
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
};

class TestClientMirrorLoop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void localChangesAndServerAnswers();
    void disconnectionClearsAndNextTreeRebuilds();

private:
    bool connectAndPopulate();

    std::unique_ptr<ServerEnd> m_server;
    std::unique_ptr<NetworkConnection> m_connection;
    std::unique_ptr<SerialisableDataPacketDistributor> m_distributor;
    std::unique_ptr<VqClientDatacoreManager> m_manager;
};

void TestClientMirrorLoop::init()
{
    m_server = std::make_unique<ServerEnd>();
    QVERIFY(m_server->listen());
    m_connection = std::make_unique<NetworkConnection>();
    m_distributor = std::make_unique<SerialisableDataPacketDistributor>();
    m_manager = std::make_unique<VqClientDatacoreManager>(m_connection.get(), m_distributor.get());
}

void TestClientMirrorLoop::cleanup()
{
    m_manager.reset();
    m_distributor.reset();
    m_connection.reset();
    m_server.reset();
}

bool TestClientMirrorLoop::connectAndPopulate()
{
    if (!m_connection->connectToHost(QHostAddress(QHostAddress::LocalHost), m_server->port()) || !m_server->accept())
        return false;
    QSignalSpy populated(m_manager->registry(), &ClientDatacoreRegistry::registryHasBeenPopulated);
    m_server->send(SerialisableDataPacket(QJsonDocument::fromJson(TREES).object()));
    return populated.wait(5000);
}

void TestClientMirrorLoop::localChangesAndServerAnswers()
{
    QVERIFY(connectAndPopulate());
    ClientDatacore* igmp = m_manager->registry()->lookupDatacore(IGMP_PATH);
    QVERIFY(igmp);
    QSignalSpy updated(igmp, &ClientDatacore::datacoreUpdated);
    QSignalSpy inSync(igmp, &ClientDatacore::datacoreInSyncWithServer);

    m_server->send(DatacorePacket(igmpJson("2"), IGMP_PATH));
    QTRY_COMPARE(igmp->data(), QStringList{"2"});
    QCOMPARE(inSync.count(), 1);

    // Only the local change goes out; what the server sent is not echoed.
    igmp->setDataUint(3);
    QTRY_COMPARE(m_server->received().size(), 1);
    const QString clientId = QString::number(QHostAddress(QHostAddress::LocalHost).toIPv4Address())
        + QString::number(m_server->peer()->peerPort());
    QCOMPARE(m_connection->clientIdentifier(), clientId);
    const QJsonObject expected{{"Class", "DatacorePacket"},
                               {"ClientID", clientId},
                               {"PacketID", 0},
                               {"Path", IGMP_PATH},
                               {"Datacore", QJsonObject{{IGMP_NAME, QJsonObject{{"data", "3"}}}}}};
    QCOMPARE(m_server->received().at(0), expected);

    const QJsonArray warning{DatacoreValidStatusMessage(1, 26).toJson()};
    m_server->send(DatacorePacket(clientId, 0, igmpJson("3", warning), IGMP_PATH));
    QTRY_COMPARE(inSync.count(), 2);
    QVERIFY(igmp->outstandingPacketIds().isEmpty());
    QCOMPARE(updated.last().at(1).toStringList(), QStringList{"Warning: The stored value is not supported"});

    // Another client's change with the same packet identifier is a server change, not an answer.
    igmp->setDataUint(4);
    QTRY_COMPARE(m_server->received().size(), 2);
    QCOMPARE(m_server->received().at(1).value("PacketID").toInt(), 0);
    m_server->send(DatacorePacket(clientId + "0", 0, igmpJson("7"), IGMP_PATH));
    m_server->send(DatacorePacket(igmpJson("8"), IGMP_PATH));
    QTRY_COMPARE(igmp->data(), QStringList{"8"});
    QCOMPARE(inSync.count(), 2);
    QCOMPARE(igmp->outstandingPacketIds(), QList<int>{0});

    m_server->send(DatacorePacket(clientId, 0, igmpJson("4"), IGMP_PATH));
    QTRY_COMPARE(inSync.count(), 3);
    QCOMPARE(igmp->data(), QStringList{"4"});
    QCOMPARE(m_server->received().size(), 2);
}

void TestClientMirrorLoop::disconnectionClearsAndNextTreeRebuilds()
{
    QVERIFY(connectAndPopulate());
    ClientDatacoreRegistry* registry = m_manager->registry();
    QPointer<ClientDatacore> igmp = registry->lookupDatacore(IGMP_PATH);
    QSignalSpy cleared(registry, &ClientDatacoreRegistry::registryHasBeenCleared);

    m_server->peer()->disconnectFromHost();
    QTRY_COMPARE(cleared.count(), 1);
    QVERIFY(registry->isEmpty());
    QVERIFY(igmp.isNull());

    QVERIFY(m_connection->connectToHost(QHostAddress(QHostAddress::LocalHost), m_server->port()));
    QVERIFY(m_server->accept());
    LogCapture capture;
    m_server->send(DatacorePacket(igmpJson("5"), IGMP_PATH));
    QTRY_COMPARE(capture.count(spdlog::level::info,
                               "Client datacore populator: Registry is empty, no way to populate: " + IGMP_PATH),
                 1);

    QSignalSpy populated(registry, &ClientDatacoreRegistry::registryHasBeenPopulated);
    m_server->send(SerialisableDataPacket(QJsonDocument::fromJson(TREES).object()));
    m_server->send(DatacorePacket(igmpJson("5"), IGMP_PATH));
    QTRY_VERIFY(registry->lookupDatacore(IGMP_PATH) && registry->lookupDatacore(IGMP_PATH)->data() == QStringList{"5"});
    QCOMPARE(populated.count(), 1);
    QCOMPARE(registry->paths().size(), 6);
}

QTEST_GUILESS_MAIN(TestClientMirrorLoop)
#include "tst_clientmirrorloop.moc"
