#include "datacorepacket.h"
#include "networkconnection.h"
#include "testframes.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <climits>

class TestNetworkConnection : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_server.listen(QHostAddress::LocalHost, 0)); }
    void cleanup() { m_server.close(); }
    void receiverEndsTheConnection_data();
    void receiverEndsTheConnection();
    void sendsOnlyWhileConnected();
    void socketHandedInAndBack();
    void socketErrorText();

private:
    QTcpSocket* connect(NetworkConnection& connection)
    {
        if (!connection.connectToHost(QHostAddress(QHostAddress::LocalHost), m_server.serverPort())
            || !m_server.waitForNewConnection(2000))
            return nullptr;
        return m_server.nextPendingConnection();
    }

    QTcpServer m_server;
};

void TestNetworkConnection::receiverEndsTheConnection_data()
{
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("closes it") << false;
    QTest::newRow("connects anew") << true;
}

void TestNetworkConnection::receiverEndsTheConnection()
{
    QFETCH(bool, reconnect);
    NetworkConnection connection;
    QTcpSocket* peer = connect(connection);
    QVERIFY(peer);
    QSignalSpy lost(&connection, &NetworkConnection::disconnectedFromHost);
    QStringList log;
    RecordingReceiver next("next", &log);
    // The socket whose notification is under way must outlive it; the frame
    // being delivered reaches its receivers, the rest of the connection that
    // is gone does not.
    ActingReceiver acting(&log, [&] {
        if (reconnect)
            connection.connectToHost(QHostAddress(QHostAddress::LocalHost), m_server.serverPort());
        else
            connection.closeConnection();
    });
    peer->write(jsonFrame("A") + jsonFrame("B"));
    QTRY_COMPARE(log, (QStringList{"acting:A", "next:A"}));
    QCOMPARE(lost.count(), 1);
    QCOMPARE(connection.isConnected(), reconnect);
    QTest::qWait(20);
    QCOMPARE(log.size(), 2);
    // The closed socket is gone once its notification has returned.
    QCOMPARE(connection.findChildren<QTcpSocket*>().size(), reconnect ? 1 : 0);
}

void TestNetworkConnection::sendsOnlyWhileConnected()
{
    const DatacorePacket packet(QStringLiteral("id"), 3, QJsonObject{{"d", QJsonObject()}}, QStringLiteral("p"));
    const QByteArray frame = frameOf(packet);

    NetworkConnection connection;
    QCOMPARE(connection.clientIdentifier(), QString());
    connection.acceptPacket(packet);
    QTcpSocket* peer = connect(connection);
    QVERIFY(peer);
    const QString identifier = QStringLiteral("2130706433%1").arg(peer->peerPort());
    QCOMPARE(connection.clientIdentifier(), identifier);
    QCOMPARE(connection.peerIdentifier(), QStringLiteral("2130706433%1").arg(m_server.serverPort()));
    QCOMPARE(endpointIdentifier(QHostAddress("::ffff:127.0.0.1"), 1), QStringLiteral("21307064331"));
    QVERIFY(connection.canAcceptPacket(DatacorePacket::CLASS_NAME));
    connection.acceptPacket(packet);
    connection.sendPacket(std::make_shared<DatacorePacket>(packet));
    connection.sendPacket(nullptr);
    // Flushed at once: the bytes arrive without this loop running.
    while (peer->bytesAvailable() < 2 * frame.size() && peer->waitForReadyRead(2000)) {
    }
    QCOMPARE(peer->readAll(), frame + frame);

    // Outside the socket's own calls it goes at once; the identifier stays.
    connection.closeConnection();
    QVERIFY(connection.findChildren<QTcpSocket*>().isEmpty());
    QCOMPARE(connection.clientIdentifier(), identifier);
}

void TestNetworkConnection::socketHandedInAndBack()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    auto* client = new QTcpSocket;
    client->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
    QVERIFY(client->waitForConnected(2000) && m_server.waitForNewConnection(2000));
    QTcpSocket* peer = m_server.nextPendingConnection();
    NetworkConnection connection;
    QTcpSocket* exchanged = client;
    QVERIFY(connection.setSocket(exchanged));
    QVERIFY(!exchanged);
    QCOMPARE(connection.clientIdentifier(), QStringLiteral("2130706433%1").arg(peer->peerPort()));
    peer->write(jsonFrame("J"));
    QTRY_COMPARE(log, QStringList{"r:J"});
    // Taken back, the socket is the caller's again.
    QVERIFY(!connection.setSocket(exchanged));
    QCOMPARE(exchanged, client);
    delete client;
}

void TestNetworkConnection::socketErrorText()
{
    // Both ends of the table, its gap, and outside it up to the end of int.
    QCOMPARE(::socketErrorText(-1), QStringLiteral("QAbstractSocket::UnknownSocketError"));
    QCOMPARE(::socketErrorText(18), QStringLiteral("QAbstractSocket::ProxyProtocolError"));
    for (int value : {13, 19, -2, INT_MAX})
        QCOMPARE(::socketErrorText(value), QStringLiteral("illegal value for QAbstractSocket::SocketError: %1").arg(value));
}

QTEST_GUILESS_MAIN(TestNetworkConnection)
#include "tst_networkconnection.moc"
