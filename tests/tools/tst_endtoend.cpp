#include "processrunner.h"

#include <QtTest>

#include <csignal>

namespace {

const QString SERIAL_PREFIX = QStringLiteral("Unit serial number is: ");
const QString IGMP_LINE = QStringLiteral("IGMP max supported version is: 3");
// One retry period of the client, its connection attempt, and ample room for a loaded machine.
constexpr int RECONNECT_LIMIT_MS = 2000 + 500 + 7500;

} // namespace

// The real vq_dummyclient against the real vq_simserver, as separate processes
// on the fixed port 29440.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void serialNumberAndIgmpVersion();
    void reconnectsToRestartedServer();
    void findsServerStartedLater();
    void survivesGarbageAndCorruptLength();
    void runsUntilTerminated();

private:
    static QString serverPath() { return QStringLiteral(VQ_SIMSERVER_PATH); }
    static QString clientPath() { return QStringLiteral(VQ_DUMMYCLIENT_PATH); }
};

void TestEndToEnd::serialNumberAndIgmpVersion()
{
    ProcessRunner server(serverPath());
    QVERIFY(server.start());
    QVERIFY(server.waitForListening());
    ProcessRunner client(clientPath());
    QVERIFY(client.start({QStringLiteral("--any=argument"), QStringLiteral("-v")}));

    QTRY_COMPARE_WITH_TIMEOUT(client.countMessage(SERIAL_PREFIX + QStringLiteral("12345")), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(client.countMessage(IGMP_LINE), 1, 5000);
    // Every line the client writes has the exact log line form.
    for (const QString& line : client.lines())
        QVERIFY2(!logMessage(line).isNull(), qPrintable(line));
}

void TestEndToEnd::reconnectsToRestartedServer()
{
    ProcessRunner server(serverPath());
    QVERIFY(server.start());
    QVERIFY(server.waitForListening());
    ProcessRunner client(clientPath());
    QVERIFY(client.start());
    QTRY_COMPARE_WITH_TIMEOUT(client.countMessage(SERIAL_PREFIX + QStringLiteral("12345")), 1, 10000);

    server.stop();
    ProcessRunner restarted(serverPath());
    QElapsedTimer sinceLoss;
    sinceLoss.start();
    QVERIFY(restarted.start({QStringLiteral("--serial"), QStringLiteral("67890")}));
    QVERIFY(restarted.waitForListening());
    QTRY_COMPARE_WITH_TIMEOUT(client.countMessage(SERIAL_PREFIX + QStringLiteral("67890")), 1, RECONNECT_LIMIT_MS);
    QVERIFY2(sinceLoss.elapsed() >= 1000, "reconnected before the retry timer could have fired");
    // Logged once per connection, not again while the connection lasts.
    QTest::qWait(2500);
    QCOMPARE(client.countMessage(SERIAL_PREFIX + QStringLiteral("67890")), 1);
    QCOMPARE(client.countMessage(SERIAL_PREFIX + QStringLiteral("12345")), 1);
}

void TestEndToEnd::findsServerStartedLater()
{
    ProcessRunner client(clientPath());
    QVERIFY(client.start());
    // The first attempt comes 2000 ms after start and finds nobody.
    QTRY_VERIFY_WITH_TIMEOUT(client.countMessage(QStringLiteral("QAbstractSocket::ConnectionRefusedError")) >= 1, 5000);

    ProcessRunner server(serverPath());
    QVERIFY(server.start());
    QVERIFY(server.waitForListening());
    QTRY_COMPARE_WITH_TIMEOUT(client.countMessage(SERIAL_PREFIX + QStringLiteral("12345")), 1, RECONNECT_LIMIT_MS);
}

void TestEndToEnd::survivesGarbageAndCorruptLength()
{
    ProcessRunner server(serverPath());
    QVERIFY(server.start({QStringLiteral("--garbage"), QStringLiteral("--corrupt-length"),
                          QStringLiteral("--measurement-rate"), QStringLiteral("50")}));
    QVERIFY(server.waitForListening());
    ProcessRunner client(clientPath());
    QVERIFY(client.start());
    QTRY_VERIFY_WITH_TIMEOUT(client.countMessage(SERIAL_PREFIX + QStringLiteral("12345")) >= 1, 10000);
    QTest::qWait(2000);
    QVERIFY(client.isRunning());
}

void TestEndToEnd::runsUntilTerminated()
{
    ProcessRunner client(clientPath());
    QVERIFY(client.start());
    QTest::qWait(3000);
    QVERIFY(client.isRunning());
    // kill() with 0 or -1 would reach far more than the client.
    QVERIFY(client.pid() > 0);
    ::kill(pid_t(client.pid()), SIGTERM);
    QVERIFY(client.process().waitForFinished(3000));
    QCOMPARE(client.process().exitStatus(), QProcess::CrashExit);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
