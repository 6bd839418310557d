#include "datacorebase.h"
#include "datacorepacket.h"
#include "datacorepathradixtreepacket.h"
#include "logcapture.h"
#include "sdiinputratechangeeventpacket.h"
#include "sequencepackagedlogpacket.h"
#include "vqdummyclientapplicationbase.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// The routers with the three datacores the dummy client needs.
DatacorePathRadixTreePacket treePacket()
{
    std::vector<std::unique_ptr<DatacoreBase>> datacores;
    const auto add = [&](const char* name, DatacoreBase* parent) {
        datacores.push_back(std::make_unique<DatacoreBase>(QString::fromLatin1(name), parent));
        return datacores.back().get();
    };
    DatacorePathRadixTreePacket packet;
    DatacoreBase* config = add("configCoreRouter", nullptr);
    add("brevEth0IgmpMaxVersion", add("systemController", config));
    packet.setConfigTree(*config);
    DatacoreBase* status = add("statusCoreRouter", nullptr);
    add("serialNumber", add("licenseStatus", status));
    packet.setStatusTree(*status);
    DatacoreBase* command = add("commandCoreRouter", nullptr);
    add("executorCommander", command);
    packet.setCommandTree(*command);
    packet.setPersistentConfigTree(*add("persistentConfigCoreRouter", nullptr));
    return packet;
}

DatacorePacket valuePacket(const QString& path, const QString& value)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    return DatacorePacket(QJsonObject{{name, QJsonObject{{QStringLiteral("data"), value}}}}, path);
}

void sendSession(QTcpSocket* socket, const QString& serial)
{
    writePacket(treePacket(), socket);
    writePacket(valuePacket(QStringLiteral("statusCoreRouter/licenseStatus/serialNumber"), serial), socket);
    writePacket(valuePacket(QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion"), "2"), socket);
    socket->flush();
}

VqDummyClientApplicationBase* application()
{
    return static_cast<VqDummyClientApplicationBase*>(QCoreApplication::instance());
}

} // namespace

// The application's objects wired together, against an in-process server on
// the fixed port 29440.
class TestObjectGraph : public QObject
{
    Q_OBJECT

private slots:
    void logPacketsReachBothHandlersBaseFirst();
    void connectsAfterRetryPeriodAndRewiresAfterReconnection();
};

void TestObjectGraph::logPacketsReachBothHandlersBaseFirst()
{
    QStringList order;
    connect(application()->logPacketHandler(), &VqClientSequencePackagedLogPacketHandler::newLogEntry, this,
            [&](const QString&) { order.append(QStringLiteral("base")); });
    connect(application()->extraLogPacketHandler(), &VqClientSequencePackagedLogPacketHandler::newLogEntry, this,
            [&](const QString&) { order.append(QStringLiteral("derived")); });

    SdiInputRateChangeEventPacket event;
    event.setDateTime(QDateTime::currentDateTime());
    SequencePackagedLogPacket carrier;
    carrier.setLogPacket(event);
    application()->distributor()->acceptPacket(carrier);
    QCOMPARE(order, (QStringList{QStringLiteral("base"), QStringLiteral("derived")}));
}

void TestObjectGraph::connectsAfterRetryPeriodAndRewiresAfterReconnection()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 29440));
    LogCapture capture;

    QElapsedTimer sinceInitialise;
    sinceInitialise.start();
    application()->initialise();
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 5000);
    QVERIFY2(sinceInitialise.elapsed() >= 1800, "the first attempt must wait for the retry timer");

    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    sendSession(peer.get(), QStringLiteral("111"));
    QTRY_COMPARE(capture.count(QStringLiteral("Unit serial number is: 111")), 1);
    QCOMPARE(capture.count(QStringLiteral("IGMP max supported version is: 2")), 1);

    // A lost connection clears the mirror; the next tree wires the new datacores again.
    peer->disconnectFromHost();
    QTRY_VERIFY(application()->datacoreManager()->registry()->isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 5000);
    peer.reset(server.nextPendingConnection());
    sendSession(peer.get(), QStringLiteral("222"));
    QTRY_COMPARE(capture.count(QStringLiteral("Unit serial number is: 222")), 1);
    QCOMPARE(capture.count(QStringLiteral("Unit serial number is: 111")), 1);
    QCOMPARE(capture.count(QStringLiteral("IGMP max supported version is: 2")), 2);

    // The DummyClient's command reaches the server through the rewired executor.
    emit application()->dummyClient()->executeCommandWithParameters(QStringLiteral("reboot"));
    QTRY_VERIFY(peer->bytesAvailable() > 0);
    const QByteArray sent = peer->readAll();
    QVERIFY(sent.contains("\"Path\":\"commandCoreRouter/executorCommander\""));
    QVERIFY(sent.contains("\"data\":\"reboot\""));
}

int main(int argc, char** argv)
{
    VqDummyClientApplicationBase application(argc, argv);
    TestObjectGraph test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_objectgraph.moc"
