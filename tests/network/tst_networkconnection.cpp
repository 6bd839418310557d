#include "datacorepacket.h"
#include "logcapture.h"
#include "networkconnection.h"
#include "testframes.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <climits>
#include <random>

namespace {

// Moves bytes that one socket has written across to the other side, without
// running the event loop of anything else.
bool waitUntilAvailable(QTcpSocket* writer, QTcpSocket* reader, qint64 bytes)
{
    for (int round = 0; round < 500 && reader->bytesAvailable() < bytes; ++round) {
        writer->waitForBytesWritten(10);
        reader->waitForReadyRead(10);
    }
    return reader->bytesAvailable() == bytes;
}

QByteArray frameOf(const RawDataPacket& packet)
{
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    writePacket(packet, &device);
    return device.data();
}

} // namespace

class TestNetworkConnection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void streamArrivesWhateverTheChunking_data();
    void streamArrivesWhateverTheChunking();
    void bufferLimitOverOneNotification();
    void corruptLengthRecovers();
    void clientIdentifierAcrossAConnection();
    void sendsOnlyWhileConnected();
    void disconnectionIsSignalled();
    void refusedConnectionIsLogged();
    void setSocketExchangesSockets();
    void socketErrorText_data();
    void socketErrorText();
    void endpointIdentifier_data();
    void endpointIdentifier();

private:
    QTcpSocket* connect(NetworkConnection& connection);

    QTcpServer* m_server = nullptr;
};

void TestNetworkConnection::init()
{
    m_server = new QTcpServer(this);
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
}

void TestNetworkConnection::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

QTcpSocket* TestNetworkConnection::connect(NetworkConnection& connection)
{
    if (!connection.connectToHost(QHostAddress(QHostAddress::LocalHost), m_server->serverPort()))
        return nullptr;
    if (!m_server->waitForNewConnection(2000))
        return nullptr;
    return m_server->nextPendingConnection();
}

void TestNetworkConnection::streamArrivesWhateverTheChunking_data()
{
    QTest::addColumn<int>("maximumChunk");
    QTest::addColumn<int>("seed");

    QTest::newRow("all at once") << INT_MAX << 0;
    QTest::newRow("random chunks up to 64 bytes") << 64 << 1;
    QTest::newRow("random chunks up to 700 bytes") << 700 << 2;
    QTest::newRow("single bytes") << 1 << 0;
}

void TestNetworkConnection::streamArrivesWhateverTheChunking()
{
    QFETCH(int, maximumChunk);
    QFETCH(int, seed);
    QStringList log;
    RecordingReceiver first("first", &log);
    RecordingReceiver second("second", &log);
    LogCapture capture;
    NetworkConnection connection;
    QTcpSocket* peer = connect(connection);
    QVERIFY(peer);

    const QByteArray stream = mixedStream();
    std::mt19937 random(seed);
    for (int at = 0; at < stream.size();) {
        const int size = maximumChunk == INT_MAX ? stream.size()
                                                 : std::uniform_int_distribution<int>(1, maximumChunk)(random);
        peer->write(stream.mid(at, size));
        peer->flush();
        QCoreApplication::processEvents();
        at += size;
    }
    const QStringList expected{"second:A", "first:A", "second:B", "first:B", "second:C", "first:C"};
    QTRY_COMPARE(log, expected);
    QCOMPARE(capture.messages(), QStringList());
}

void TestNetworkConnection::bufferLimitOverOneNotification()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;

    // Everything but the last byte waits in the client socket before the
    // connection takes it over, so that one notification sees it all.
    auto* client = new QTcpSocket;
    client->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    QVERIFY(client->waitForConnected(2000));
    QVERIFY(m_server->waitForNewConnection(2000));
    QTcpSocket* peer = m_server->nextPendingConnection();

    QByteArray stream;
    while (stream.size() <= IncomingFrameBuffer::MaxBufferedBytes)
        stream += rawFrame(0x1013, 0, jsonFrame("hidden", 1000));
    stream += jsonFrame("J");
    peer->write(stream.left(stream.size() - 1));
    QVERIFY(waitUntilAvailable(peer, client, stream.size() - 1));

    NetworkConnection connection;
    QTcpSocket* handed = client;
    QVERIFY(connection.setSocket(handed));
    QVERIFY(!handed);
    peer->write(stream.right(1));
    QTRY_COMPARE(log, QStringList{"r:J"});
    QCOMPARE(capture.messages(spdlog::level::warn),
             QStringList{QStringLiteral("Incoming buffer size %1 Discarding raw data packets").arg(stream.size())});
}

void TestNetworkConnection::corruptLengthRecovers()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;
    NetworkConnection connection;
    QTcpSocket* peer = connect(connection);
    QVERIFY(peer);

    peer->write(frameHeader(0x1029, 0, 0xFFFFFFF0) + jsonFrame("A"));
    QTRY_COMPARE(log, QStringList{"r:A"});
    QCOMPARE(capture.countStartingWith("Incoming frame header claims a payload of 4294967280 bytes"), 1);
    peer->write(jsonFrame("B"));
    QTRY_COMPARE(log, (QStringList{"r:A", "r:B"}));
    QVERIFY(connection.isConnected());
}

void TestNetworkConnection::clientIdentifierAcrossAConnection()
{
    NetworkConnection connection;
    QCOMPARE(connection.clientIdentifier(), QString());

    QTcpSocket* peer = connect(connection);
    QVERIFY(peer);
    const QString identifier = connection.clientIdentifier();
    QCOMPARE(identifier, QStringLiteral("2130706433%1").arg(peer->peerPort()));
    QCOMPARE(connection.peerIdentifier(), QStringLiteral("2130706433%1").arg(m_server->serverPort()));

    QSignalSpy lost(&connection, &NetworkConnection::disconnectedFromHost);
    peer->close();
    QTRY_COMPARE(lost.count(), 1);
    QCOMPARE(connection.clientIdentifier(), identifier);

    QTcpSocket* nextPeer = connect(connection);
    QVERIFY(nextPeer);
    QCOMPARE(connection.clientIdentifier(), QStringLiteral("2130706433%1").arg(nextPeer->peerPort()));
    QVERIFY(connection.clientIdentifier() != identifier);
}

void TestNetworkConnection::sendsOnlyWhileConnected()
{
    const DatacorePacket before(QJsonObject(), QStringLiteral("before"));
    const DatacorePacket during(QStringLiteral("id"), 3, QJsonObject{{"d", QJsonObject()}}, QStringLiteral("during"));
    const DatacorePacket after(QJsonObject(), QStringLiteral("after"));

    NetworkConnection connection;
    connection.acceptPacket(before);
    connection.sendPacket(std::make_shared<DatacorePacket>(before));
    QTcpSocket* peer = connect(connection);
    QVERIFY(peer);
    connection.acceptPacket(during);
    connection.sendPacket(std::make_shared<DatacorePacket>(during));
    connection.sendPacket(nullptr);
    QTRY_COMPARE(peer->bytesAvailable(), 2 * qint64(frameOf(during).size()));
    QCOMPARE(peer->readAll(), frameOf(during) + frameOf(during));

    QSignalSpy lost(&connection, &NetworkConnection::disconnectedFromHost);
    peer->close();
    QTRY_COMPARE(lost.count(), 1);
    connection.acceptPacket(after);
    connection.closeConnection();
    connection.acceptPacket(after);
    QVERIFY(!connection.isConnected());
}

void TestNetworkConnection::disconnectionIsSignalled()
{
    NetworkConnection connection;
    QSignalSpy lost(&connection, &NetworkConnection::disconnectedFromHost);
    connection.closeConnection();
    QCOMPARE(lost.count(), 0);

    QVERIFY(connect(connection));
    QVERIFY(connection.isConnected());
    connection.closeConnection();
    QCOMPARE(lost.count(), 1);
    QVERIFY(!connection.isConnected());

    // A new connection replaces, and so ends, the previous one.
    QVERIFY(connect(connection));
    QVERIFY(connect(connection));
    QCOMPARE(lost.count(), 2);
    QVERIFY(connection.isConnected());
}

void TestNetworkConnection::refusedConnectionIsLogged()
{
    const quint16 port = m_server->serverPort();
    m_server->close();
    LogCapture capture;
    NetworkConnection connection;
    QVERIFY(!connection.connectToHost(QStringLiteral("127.0.0.1"), port));
    QVERIFY(!connection.isConnected());
    QTRY_COMPARE(capture.messages(spdlog::level::info), QStringList{"QAbstractSocket::ConnectionRefusedError"});
    QCOMPARE(connection.clientIdentifier(), QString());
}

void TestNetworkConnection::setSocketExchangesSockets()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    auto* client = new QTcpSocket;
    client->connectToHost(QHostAddress::LocalHost, m_server->serverPort());
    QVERIFY(client->waitForConnected(2000));
    QVERIFY(m_server->waitForNewConnection(2000));
    QTcpSocket* peer = m_server->nextPendingConnection();

    NetworkConnection connection;
    QTcpSocket* exchanged = client;
    QVERIFY(connection.setSocket(exchanged));
    QVERIFY(!exchanged);
    QVERIFY(connection.isConnected());
    QCOMPARE(connection.clientIdentifier(), QStringLiteral("2130706433%1").arg(peer->peerPort()));
    peer->write(jsonFrame("A"));
    QTRY_COMPARE(log, QStringList{"r:A"});

    // Taking the socket back leaves the connection an unconnected one of its own.
    QVERIFY(!connection.setSocket(exchanged));
    QCOMPARE(exchanged, client);
    QVERIFY(!exchanged->parent());
    QVERIFY(!connection.isConnected());
    peer->write(jsonFrame("B"));
    QTRY_VERIFY(exchanged->bytesAvailable() > 0);
    QCOMPARE(log, QStringList{"r:A"});
    delete exchanged;
}

void TestNetworkConnection::socketErrorText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    const char* const names[] = {"UnknownSocketError", "ConnectionRefusedError", "RemoteHostClosedError",
                                 "HostNotFoundError", "SocketAccessError", "SocketResourceError",
                                 "SocketTimeoutError", "DatagramTooLargeError", "NetworkError",
                                 "AddressInUseError", "SocketAddressNotAvailableError",
                                 "UnsupportedSocketOperationError", "UnfinishedSocketOperationError",
                                 "ProxyAuthenticationRequiredError"};
    for (int value = -1; value <= 12; ++value) {
        QTest::newRow(names[value + 1]) << value << QStringLiteral("QAbstractSocket::%1").arg(names[value + 1]);
    }
    QTest::newRow("14") << 14 << "QAbstractSocket::ProxyConnectionRefusedError";
    QTest::newRow("15") << 15 << "QAbstractSocket::ProxyConnectionClosedError";
    QTest::newRow("16") << 16 << "QAbstractSocket::ProxyConnectionTimeoutError";
    QTest::newRow("17") << 17 << "QAbstractSocket::ProxyNotFoundError";
    QTest::newRow("18") << 18 << "QAbstractSocket::ProxyProtocolError";
    for (int value : {13, 19, 22, 1000, -2, INT_MIN, INT_MAX}) {
        QTest::newRow(QByteArray("illegal " + QByteArray::number(value)).constData())
            << value << QStringLiteral("illegal value for QAbstractSocket::SocketError: %1").arg(value);
    }
}

void TestNetworkConnection::socketErrorText()
{
    QFETCH(int, value);
    QTEST(::socketErrorText(value), "text");
}

void TestNetworkConnection::endpointIdentifier_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("identifier");

    QTest::newRow("local host") << "127.0.0.1" << 50000 << "213070643350000";
    QTest::newRow("all ones") << "255.255.255.255" << 65535 << "429496729565535";
    QTest::newRow("zero") << "0.0.0.0" << 0 << "00";
    QTest::newRow("IPv6 is 0") << "::1" << 29440 << "029440";
    QTest::newRow("IPv4-mapped IPv6 is 0") << "::ffff:127.0.0.1" << 1 << "01";
    QTest::newRow("null address") << "" << 7 << "07";
}

void TestNetworkConnection::endpointIdentifier()
{
    QFETCH(QString, address);
    QFETCH(int, port);
    QTEST(::endpointIdentifier(QHostAddress(address), quint16(port)), "identifier");
}

QTEST_GUILESS_MAIN(TestNetworkConnection)
#include "tst_networkconnection.moc"
