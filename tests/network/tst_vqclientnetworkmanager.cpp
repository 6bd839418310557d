#include "childrun.h"
#include "vqclientnetworkmanager.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// Every signal of a manager, in the order emitted, with its time.
struct SignalLog
{
    explicit SignalLog(VqClientNetworkManager& manager)
    {
        QObject::connect(&manager, &VqClientNetworkManager::connectedToServer, [this] { add("connected"); });
        QObject::connect(&manager, &VqClientNetworkManager::connectionToServerLost, [this] { add("lost"); });
        QObject::connect(&manager, &VqClientNetworkManager::reconnectAttemptFailed, [this] { add("failed"); });
        QObject::connect(&manager, &VqClientNetworkManager::newHostAddressSet,
                         [this](const QString& address) { add("host " + address); });
        QObject::connect(&manager, &VqClientNetworkManager::newAutoConnectStateSet,
                         [this](bool on) { add(on ? "auto on" : "auto off"); });
        clock.start();
    }
    void add(const QString& event)
    {
        events.append(event);
        times.append(clock.elapsed());
    }

    QStringList events;
    QList<qint64> times;
    QElapsedTimer clock;
};

const QHostAddress LOCAL_HOST(QHostAddress::LocalHost);
// Attempts follow the 2000 ms timer; a refused attempt returns at once. A
// coarse timer may fire up to 5% early, and a busy machine delivers late: the
// lower bound leaves room for both and still catches a retry without the timer.
constexpr qint64 EARLIEST_MS = VqClientNetworkManager::RETRY_INTERVAL_MS * 9 / 10;
constexpr int LATEST_MS = VqClientNetworkManager::RETRY_INTERVAL_MS + 3000;

} // namespace

class TestVqClientNetworkManager : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_server.close(); }
    void firstAttemptAfterTheIntervalAndAgainAfterALoss();
    void withoutAutoConnectAttemptsGoOnUntilTheFirstConnection();

private:
    bool listen() { return m_server.listen(LOCAL_HOST, VqClientNetworkManager::SERVER_PORT); }
    QTcpServer m_server;
};

void TestVqClientNetworkManager::firstAttemptAfterTheIntervalAndAgainAfterALoss()
{
    QVERIFY(listen());
    VqClientNetworkManager manager;
    // The retry timer is not among the manager's children.
    QVERIFY(!manager.findChild<QTimer*>());
    SignalLog log(manager);
    manager.setHostAddress(LOCAL_HOST, true);
    QCOMPARE(log.events, (QStringList{"auto on", "host 127.0.0.1"}));
    QTest::qWait(int(EARLIEST_MS) - 300);
    QVERIFY(!m_server.hasPendingConnections());
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 3, LATEST_MS);
    QCOMPARE(log.events.last(), QStringLiteral("connected"));
    QVERIFY(log.times.last() >= EARLIEST_MS);
    QVERIFY(manager.connection()->isConnected());
    // The server side learns of the connection at its next turn of the event loop.
    QTRY_VERIFY(m_server.hasPendingConnections());

    // The same address again only updates the flag, and keeps the connection.
    const QString identifier = manager.connection()->clientIdentifier();
    manager.setHostAddress(QHostAddress(QStringLiteral("127.0.0.1")), true);
    QTest::qWait(200);
    QCOMPARE(log.events.size(), 3);
    QCOMPARE(manager.connection()->clientIdentifier(), identifier);

    delete m_server.nextPendingConnection();
    QTRY_COMPARE(log.events.mid(3), QStringList{"lost"});
    QTRY_COMPARE_WITH_TIMEOUT(log.events.mid(3), (QStringList{"lost", "connected"}), LATEST_MS);
    QVERIFY(log.times[4] - log.times[3] >= EARLIEST_MS);
    QTRY_VERIFY(m_server.hasPendingConnections());
    manager.setHostAddress(LOCAL_HOST, false);
    QCOMPARE(log.events.mid(5), QStringList{"auto off"});
    QVERIFY(manager.connection()->isConnected());
}

void TestVqClientNetworkManager::withoutAutoConnectAttemptsGoOnUntilTheFirstConnection()
{
    VqClientNetworkManager manager;
    SignalLog log(manager);
    manager.setHostAddress(LOCAL_HOST, false);
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 4, 2 * VqClientNetworkManager::RETRY_INTERVAL_MS + LATEST_MS);
    QCOMPARE(log.events, (QStringList{"host 127.0.0.1", "failed", "failed", "failed"}));
    // Measured from the start: a late notice of one attempt must not make the
    // next look early.
    for (int attempt = 1; attempt < 4; ++attempt)
        QVERIFY2(log.times[attempt] - log.times[0] >= attempt * EARLIEST_MS, "attempt came early");
    QVERIFY(listen());
    QTRY_COMPARE_WITH_TIMEOUT(log.events.last(), QStringLiteral("connected"), LATEST_MS);
    // Once lost, the connection is not sought again.
    QTRY_VERIFY(m_server.hasPendingConnections());
    delete m_server.nextPendingConnection();
    QTRY_COMPARE(log.events.last(), QStringLiteral("lost"));
    QTest::qWait(LATEST_MS);
    QCOMPARE(log.events.last(), QStringLiteral("lost"));
    QVERIFY(!m_server.hasPendingConnections());
}

int main(int argc, char** argv)
{
    // Port 29440 is fixed: nothing else on the machine may listen there.
    usePrivateLoopback();
    QCoreApplication application(argc, argv);
    TestVqClientNetworkManager test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_vqclientnetworkmanager.moc"
