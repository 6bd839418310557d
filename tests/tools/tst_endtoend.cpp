#include "processrunner.h"

#include <QtTest>

#include <csignal>

namespace {

// One retry period of the client, its connection attempt, and ample room for a loaded machine.
constexpr int RECONNECT_LIMIT_MS = 2000 + 500 + 7500;

int serialLines(ProcessRunner& client, const char* serial)
{
    return client.countMessage(QStringLiteral("Unit serial number is: ") + QLatin1String(serial));
}

} // namespace

// The real vq_dummyclient against the real vq_simserver, as separate processes
// on the fixed port 29440.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void findsLateServerReconnectsAndRunsUntilTerminated();
};

void TestEndToEnd::findsLateServerReconnectsAndRunsUntilTerminated()
{
    ProcessRunner client(QStringLiteral(VQ_DUMMYCLIENT_PATH));
    QVERIFY(client.start());
    // The first attempt comes 2000 ms after start and finds nobody; the client carries on.
    QTRY_VERIFY_WITH_TIMEOUT(client.countMessage(QStringLiteral("QAbstractSocket::ConnectionRefusedError")) >= 1, 5000);
    QVERIFY(client.isRunning());

    ProcessRunner server(QStringLiteral(VQ_SIMSERVER_PATH));
    QVERIFY(server.startListening());
    QTRY_COMPARE_WITH_TIMEOUT(serialLines(client, "12345"), 1, RECONNECT_LIMIT_MS);

    server.stop();
    QElapsedTimer sinceLoss;
    sinceLoss.start();
    QVERIFY(server.startListening({"--serial", "67890"}));
    QTRY_COMPARE_WITH_TIMEOUT(serialLines(client, "67890"), 1, RECONNECT_LIMIT_MS);
    QVERIFY2(sinceLoss.elapsed() >= 1000, "reconnected before the retry timer could have fired");
    // Logged once per connection, not again while the connection lasts.
    QTest::qWait(2500);
    QCOMPARE(serialLines(client, "67890"), 1);
    QCOMPARE(serialLines(client, "12345"), 1);

    // kill() with 0 or -1 would reach far more than the client.
    QVERIFY(client.process().processId() > 0);
    ::kill(pid_t(client.process().processId()), SIGTERM);
    QVERIFY(client.process().waitForFinished(3000));
    QCOMPARE(client.process().exitStatus(), QProcess::CrashExit);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
