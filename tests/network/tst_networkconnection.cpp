#include "childrun.h"
#include "datacorepacket.h"
#include "incomingframebuffer.h"
#include "logcapture.h"
#include "networkconnection.h"
#include "testframes.h"
#include "vqclientnetworkmanager.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <climits>
#include <functional>
#include <memory>

namespace {

enum class Action { DeleteNextReceiver, StopDelivery, ClearBuffer, FeedBuffer, CloseConnection, Reconnect };

// Announces bytes it then fails to read, as a socket that fails between the two calls.
struct FailingDevice : QIODevice
{
    FailingDevice() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    qint64 bytesAvailable() const override { return 10; }
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override { return -1; }
};

const QHostAddress LOCAL_HOST(QHostAddress::LocalHost);
// A busy machine delivers late.
constexpr int LATEST_MS = VqClientNetworkManager::RETRY_INTERVAL_MS + 3000;

} // namespace

Q_DECLARE_METATYPE(Action)

class TestNetworkConnection : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_server.listen(LOCAL_HOST, 0)); }
    void cleanup() { m_server.close(); }
    void sendsOnlyWhileConnected();
    void socketErrorText();
    void frames_data();
    void frames();
    void receiversActDuringDelivery_data();
    void receiversActDuringDelivery();
    void managerWithoutAutoConnectSeeksOnlyTheFirstConnection();

private:
    QTcpServer m_server;
};

void TestNetworkConnection::sendsOnlyWhileConnected()
{
    const DatacorePacket packet(QStringLiteral("id"), 3, QJsonObject{{"d", QJsonObject()}}, QStringLiteral("p"));
    const QByteArray frame = frameOf(packet);
    auto* client = new QTcpSocket;
    client->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
    QVERIFY(client->waitForConnected(2000) && m_server.waitForNewConnection(2000));
    QTcpSocket* peer = m_server.nextPendingConnection();

    NetworkConnection connection;
    connection.acceptPacket(packet);
    QTcpSocket* exchanged = client;
    QVERIFY(connection.setSocket(exchanged) && !exchanged);
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

    // Taken back, the socket is the caller's again.
    QVERIFY(!connection.setSocket(exchanged) && exchanged == client);
    delete client;
    // Outside the socket's own calls its successor goes at once; the identifier stays.
    connection.closeConnection();
    QVERIFY(connection.findChildren<QTcpSocket*>().isEmpty());
    QCOMPARE(connection.clientIdentifier(), identifier);
}

void TestNetworkConnection::socketErrorText()
{
    // Both ends of the table, its gap, and outside it up to the end of int.
    QCOMPARE(::socketErrorText(-1), QStringLiteral("QAbstractSocket::UnknownSocketError"));
    QCOMPARE(::socketErrorText(18), QStringLiteral("QAbstractSocket::ProxyProtocolError"));
    for (int value : {13, 19, -2, INT_MAX})
        QCOMPARE(::socketErrorText(value), QString("illegal value for QAbstractSocket::SocketError: %1").arg(value));
}

void TestNetworkConnection::frames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("deliveries");
    QTest::addColumn<int>("waiting");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("everySplit");

    const auto row = [](const char* name, const QByteArray& stream, const QStringList& deliveries, int waiting,
                        const QStringList& log, bool everySplit = false) {
        QTest::newRow(name) << stream << deliveries << waiting << log << everySplit;
    };
    row("every split of a mixed stream", mixedStream(), MIXED_STREAM_DELIVERIES, 0, {}, true);
    const quint32 limit = IncomingFrameBuffer::MaxPayloadLength;
    const auto corruptLengthMessage = [limit](quint32 length) {
        return QStringLiteral("Incoming frame header claims a payload of %1 bytes, more than the limit of %2; "
                              "skipped as corrupt").arg(length).arg(limit);
    };
    const QByteArray a = jsonFrame("A");
    // 10 13 00 followed by the frame's 10 10 00 00 00: a length of 0x10000000.
    row("garbage that swallows a header", QByteArray::fromHex("101300") + a, {"r:A"}, 0,
        {corruptLengthMessage(0x10000000)});
    // Every position of a run of 0x10 bytes reads as a 0x1010 header with a
    // payload of 0x10101010 bytes: one line, not one per byte.
    row("run of corrupt headers", QByteArray(64, '\x10') + QByteArray(8, '\0') + a, {"r:A"}, 0,
        {corruptLengthMessage(0x10101010)});
    row("one byte over the limit", frameHeader(0x1029, 0, limit + 1), {}, 7, {corruptLengthMessage(limit + 1)});
    row("at the limit waits", frameHeader(0x1029, 0, limit) + a, {}, 8 + a.size(), {});
    row("malformed JSON is delivered empty", rawFrame(0x1010, 0, QByteArray::fromHex("00000001") + "{"), {"r:"}, 0,
        {"SerialisablePacket failed to parse packet unterminated object"});
    // A measurement frame, hiding a JSON frame that must be skipped whole,
    // fills the buffer up to size bytes with a JSON frame after it.
    const auto filled = [&a](int size) {
        const QByteArray hidden = jsonFrame("hidden");
        return rawFrame(0x1014, 0, hidden + QByteArray(size - 8 - hidden.size() - a.size(), 'm')) + a;
    };
    const int most = IncomingFrameBuffer::MaxBufferedBytes;
    row("buffer at its limit", filled(most), {"r:A"}, 0, {});
    row("buffer one byte over", filled(most + 1), {"r:A"}, 0,
        {QStringLiteral("Incoming buffer size %1 Discarding raw data packets").arg(most + 1)});
}

void TestNetworkConnection::frames()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, waiting);
    QFETCH(bool, everySplit);
    // Every two-piece split, then single bytes, must come to the same.
    for (int split = everySplit ? 0 : stream.size(); split <= stream.size() + int(everySplit); ++split) {
        QStringList log;
        RecordingReceiver receiver("r", &log);
        LogCapture capture;
        IncomingFrameBuffer buffer;
        if (split > stream.size()) {
            for (char byte : stream)
                buffer.receive(QByteArray(1, byte));
        } else {
            buffer.receive(stream.left(split));
            buffer.receive(stream.mid(split));
        }
        // A read that fails keeps what is held.
        FailingDevice device;
        buffer.readFrom(device);
        QTEST(log, "deliveries");
        QCOMPARE(buffer.bufferedBytes(), stream.right(waiting));
        QTEST(capture.messages(), "log");
    }
}

void TestNetworkConnection::receiversActDuringDelivery_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("deliveries");
    QTest::addColumn<QByteArray>("waiting");
    QTest::addColumn<QStringList>("nextFeed");

    // The acting receiver is registered last, so it is called first.
    const auto row = [](const char* name, Action action, const QStringList& deliveries, const QByteArray& waiting,
                        const QStringList& nextFeed) {
        QTest::newRow(name) << action << deliveries << waiting << nextFeed;
    };
    const QStringList all{"acting:A", "next:A", "acting:B", "next:B", "acting:C", "next:C"};
    row("a receiver deletes the next one", Action::DeleteNextReceiver, {"acting:A", "acting:B", "acting:C"}, {}, {});
    row("a receiver stops the delivery", Action::StopDelivery, all.mid(0, 2), jsonFrame("B") + jsonFrame("C"),
        all.mid(2));
    row("a receiver clears the buffer", Action::ClearBuffer, all.mid(0, 2), {}, {});
    row("a receiver feeds the buffer", Action::FeedBuffer, all, jsonFrame("D"), {"acting:D", "next:D"});
    // The socket whose notification is under way must outlive it; the frame
    // being delivered reaches its receivers, the rest of the connection that
    // is gone does not.
    row("a receiver closes the connection", Action::CloseConnection, all.mid(0, 2), {}, {});
    row("a receiver connects anew", Action::Reconnect, all.mid(0, 2), {}, {});
}

void TestNetworkConnection::receiversActDuringDelivery()
{
    QFETCH(Action, action);
    QFETCH(QStringList, deliveries);
    QFETCH(QByteArray, waiting);
    NetworkConnection connection;
    QSignalSpy lost(&connection, &NetworkConnection::disconnectedFromHost);
    IncomingFrameBuffer buffer;
    QStringList log;
    auto next = std::make_unique<RecordingReceiver>("next", &log);
    // In the order of Action.
    const std::function<void()> actions[] = {
        [&] { next.reset(); },
        [&] { buffer.stopDelivery(); },
        [&] { buffer.clear(); },
        [&] { buffer.receive(jsonFrame("D")); },
        [&] { connection.closeConnection(); },
        [&] { connection.connectToHost(LOCAL_HOST, m_server.serverPort()); },
    };
    ActingReceiver acting(&log, actions[int(action)]);

    const QByteArray frames = jsonFrame("A") + jsonFrame("B") + jsonFrame("C");
    const bool viaConnection = action >= Action::CloseConnection;
    if (viaConnection) {
        QVERIFY(connection.connectToHost(LOCAL_HOST, m_server.serverPort()) && m_server.waitForNewConnection(2000));
        m_server.nextPendingConnection()->write(frames);
        QTRY_COMPARE(log, deliveries);
        QTest::qWait(20);
    } else {
        buffer.receive(frames);
    }
    QCOMPARE(log, deliveries);
    QCOMPARE(lost.count(), int(viaConnection));
    QCOMPARE(connection.isConnected(), action == Action::Reconnect);
    // A closed socket is gone once its notification has returned.
    QCOMPARE(connection.findChildren<QTcpSocket*>().size(), int(action == Action::Reconnect));
    QCOMPARE(buffer.bufferedBytes(), waiting);
    log.clear();
    buffer.receive(QByteArray());
    QTEST(log, "nextFeed");
    QVERIFY(buffer.bufferedBytes().isEmpty());
}

// The first attempt after the retry interval, and the reconnection after a
// loss with auto-connect, are seen with the whole application (tst_application).
void TestNetworkConnection::managerWithoutAutoConnectSeeksOnlyTheFirstConnection()
{
    VqClientNetworkManager manager;
    QStringList events;
    connect(&manager, &VqClientNetworkManager::connectedToServer, [&] { events << "connected"; });
    connect(&manager, &VqClientNetworkManager::connectionToServerLost, [&] { events << "lost"; });
    connect(&manager, &VqClientNetworkManager::reconnectAttemptFailed, [&] { events << "failed"; });
    QElapsedTimer clock;
    clock.start();
    manager.setHostAddress(LOCAL_HOST, true);
    manager.setHostAddress(LOCAL_HOST, false);
    // Attempts follow the timer, and go on until the first connection.
    QTRY_VERIFY_WITH_TIMEOUT(events.count("failed") >= 2, 2 * LATEST_MS);
    // A coarse timer may fire up to 5% early.
    QVERIFY(clock.elapsed() >= 2 * VqClientNetworkManager::RETRY_INTERVAL_MS * 9 / 10);
    QTcpServer server;
    QVERIFY(server.listen(LOCAL_HOST, VqClientNetworkManager::SERVER_PORT));
    QTRY_COMPARE_WITH_TIMEOUT(events.last(), QStringLiteral("connected"), LATEST_MS);

    // The same address again keeps the connection; once lost, it is not sought again.
    const int count = events.size();
    manager.setHostAddress(QHostAddress(QStringLiteral("127.0.0.1")), false);
    QCOMPARE(events.size(), count);
    QTRY_VERIFY(server.hasPendingConnections());
    delete server.nextPendingConnection();
    QTRY_COMPARE(events.mid(count), QStringList{"lost"});
    QTest::qWait(LATEST_MS);
    QCOMPARE(events.mid(count), QStringList{"lost"});
}

int main(int argc, char** argv)
{
    // The manager's port 29440 is fixed: nothing else on the machine may listen there.
    usePrivateLoopback();
    QCoreApplication application(argc, argv);
    TestNetworkConnection test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_networkconnection.moc"
