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
    void attemptsFollowTheTimerAndTheAutoConnectFlag();

private:
    QTcpServer m_server;
};

void TestVqClientNetworkManager::attemptsFollowTheTimerAndTheAutoConnectFlag()
{
    VqClientNetworkManager manager;
    // The retry timer is not among the manager's children.
    QVERIFY(!manager.findChild<QTimer*>());
    SignalLog log(manager);
    manager.setHostAddress(LOCAL_HOST, true);
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 3, LATEST_MS);
    QCOMPARE(log.events, (QStringList{"auto on", "host 127.0.0.1", "failed"}));
    QVERIFY(log.times[2] >= EARLIEST_MS);
    QVERIFY(m_server.listen(LOCAL_HOST, VqClientNetworkManager::SERVER_PORT));
    QTRY_COMPARE_WITH_TIMEOUT(log.events.last(), QStringLiteral("connected"), LATEST_MS);
    // Measured from the start: a late notice of one attempt must not make the next look early.
    QVERIFY(log.times.last() >= (log.events.size() - 2) * EARLIEST_MS);
    QVERIFY(manager.connection()->isConnected());

    // The same address again only updates the flag, and keeps the connection.
    const QString identifier = manager.connection()->clientIdentifier();
    const int count = log.events.size();
    manager.setHostAddress(QHostAddress(QStringLiteral("127.0.0.1")), true);
    QCOMPARE(log.events.size(), count);
    QCOMPARE(manager.connection()->clientIdentifier(), identifier);

    QTRY_VERIFY(m_server.hasPendingConnections());
    delete m_server.nextPendingConnection();
    QTRY_COMPARE_WITH_TIMEOUT(log.events.mid(count), (QStringList{"lost", "connected"}), LATEST_MS);
    QVERIFY(log.times[count + 1] - log.times[count] >= EARLIEST_MS);
    // Without auto-connect a lost connection is not sought again.
    manager.setHostAddress(LOCAL_HOST, false);
    QTRY_VERIFY(m_server.hasPendingConnections());
    delete m_server.nextPendingConnection();
    QTRY_COMPARE(log.events.mid(count + 2), (QStringList{"auto off", "lost"}));
    QTest::qWait(LATEST_MS);
    QCOMPARE(log.events.size(), count + 4);
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
