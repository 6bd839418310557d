#include "childrun.h"
#include "vqclientnetworkmanager.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

const QHostAddress LOCAL_HOST(QHostAddress::LocalHost);
// A coarse timer may fire up to 5% early, and a busy machine delivers late.
constexpr int EARLIEST_MS = VqClientNetworkManager::RETRY_INTERVAL_MS * 9 / 10;
constexpr int LATEST_MS = VqClientNetworkManager::RETRY_INTERVAL_MS + 3000;

} // namespace

class TestVqClientNetworkManager : public QObject
{
    Q_OBJECT

private slots:
    void withoutAutoConnectOnlyTheFirstConnectionIsSought();
};

// The first attempt after the retry interval, and the reconnection after a
// loss with auto-connect, are seen with the whole application (tst_objectgraph).
void TestVqClientNetworkManager::withoutAutoConnectOnlyTheFirstConnectionIsSought()
{
    VqClientNetworkManager manager;
    // The retry timer is not among the manager's children.
    QVERIFY(!manager.findChild<QTimer*>());
    QStringList events;
    connect(&manager, &VqClientNetworkManager::connectedToServer, [&] { events << "connected"; });
    connect(&manager, &VqClientNetworkManager::connectionToServerLost, [&] { events << "lost"; });
    connect(&manager, &VqClientNetworkManager::reconnectAttemptFailed, [&] { events << "failed"; });
    connect(&manager, &VqClientNetworkManager::newHostAddressSet, [&](const QString& host) { events << host; });
    connect(&manager, &VqClientNetworkManager::newAutoConnectStateSet, [&](bool on) { events << (on ? "on" : "off"); });
    QElapsedTimer clock;
    clock.start();
    manager.setHostAddress(LOCAL_HOST, true);
    manager.setHostAddress(LOCAL_HOST, false);
    QCOMPARE(events, (QStringList{"on", "127.0.0.1", "off"}));
    // Attempts follow the timer, and go on until the first connection.
    QTRY_VERIFY_WITH_TIMEOUT(events.count("failed") >= 2, 2 * LATEST_MS);
    QVERIFY(clock.elapsed() >= 2 * EARLIEST_MS);
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
    // Port 29440 is fixed: nothing else on the machine may listen there.
    usePrivateLoopback();
    QCoreApplication application(argc, argv);
    TestVqClientNetworkManager test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_vqclientnetworkmanager.moc"
