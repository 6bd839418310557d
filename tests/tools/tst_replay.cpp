#include "processrunner.h"
#include "streamrecording.h"

#include <QtTest>

namespace {

// One retry period of the client, its connection attempt, and ample room for a loaded machine.
constexpr int RECONNECT_LIMIT_MS = 2000 + 500 + 7500;
const QString DISCONNECTED = QStringLiteral("QAbstractSocket::RemoteHostClosedError");

// Resident memory in KiB, from /proc.
qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    const QRegularExpression rss(QStringLiteral("^VmRSS:\\s+(\\d+) kB"), QRegularExpression::MultilineOption);
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// What the client logs from its first connection to the loss of it, with the
// milliseconds between its first line and that loss.
struct ClientSession
{
    QStringList messages;
    qint64 spanMs = -1;
};

bool runSession(const QStringList& serverArguments, ClientSession* session)
{
    ProcessRunner server(QStringLiteral(VQ_SIMSERVER_PATH));
    ProcessRunner client(QStringLiteral(VQ_DUMMYCLIENT_PATH));
    QElapsedTimer span;
    if (!server.startListening(serverArguments) || !client.start()
        || !client.waitForMessageStartingWith(QString(), 20000))
        return false;
    span.start();
    // Stopped before its next connection attempt, two seconds after the loss.
    if (!client.waitForMessageStartingWith(DISCONNECTED, 20000))
        return false;
    session->spanMs = span.elapsed();
    client.stop();
    for (const QString& line : client.lines()) {
        session->messages.append(logMessage(line));
        if (session->messages.last() == DISCONNECTED)
            break;
    }
    return true;
}

} // namespace

// The real vq_dummyclient against the real vq_simserver, as separate processes
// on the fixed port 29440: live, and recorded sessions replayed, where it must
// log what it logged live, and committed recordings pin down what it logs.
class TestReplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void replays_data();
    void replays();
    void findsLateServerReconnectsAndRunsUntilTerminated();

private:
    QTemporaryDir m_dir;
    ClientSession m_live;
};

void TestReplay::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(runSession({"--record", m_dir.path() + "/live.vqrec", "--drop-after", "3", "--garbage", "--corrupt-length",
                        "--measurement-rate", "20", "--event-rate", "5", "--preset-rate", "2", "--status-rate", "4"},
                       &m_live));
    // A session worth comparing: the mirror was built and the faults were seen.
    QVERIFY(m_live.messages.contains(QStringLiteral("Unit serial number is: 12345")));
    QVERIFY(m_live.messages.contains(QStringLiteral(
        "Incoming frame header claims a payload of 2147483632 bytes, more than the limit of 16777216; "
        "skipped as corrupt")));
}

void TestReplay::replays_data()
{
    // A recording: this run's live one, or a committed one with the file of the
    // messages expected from it.
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("paced");

    QTest::newRow("live session, recorded timing") << QString() << true;
    QTest::newRow("live session, as fast as possible") << QString() << false;
    QTest::newRow("garbage, corrupt length, events, meters") << "faults" << false;
    QTest::newRow("validation messages instead of a version") << "invalidigmp" << false;
}

void TestReplay::replays()
{
    QFETCH(QString, name);
    QFETCH(bool, paced);

    const QString base = name.isEmpty() ? m_dir.filePath("live") : QFINDTESTDATA("data/recordings") + '/' + name;
    QStringList expected = m_live.messages;
    if (!name.isEmpty()) {
        QFile lines(base + ".lines");
        QVERIFY(lines.open(QIODevice::ReadOnly));
        expected = QString::fromUtf8(lines.readAll()).split('\n');
        expected.removeAll(QString());
    }
    const QStringList pace = paced ? QStringList() : QStringList{"--replay-fast"};
    ClientSession replayed;
    QVERIFY(runSession(QStringList{"--replay", base + ".vqrec"} + pace, &replayed));
    QCOMPARE(replayed.messages, expected);
    // The live connection was dropped three seconds after it began.
    QVERIFY2(paced ? replayed.spanMs >= 2500 : replayed.spanMs < 2500, qPrintable(QString::number(replayed.spanMs)));
}

// Also the soak run (label "soak"), with many restarts: the client must not grow with them.
void TestReplay::findsLateServerReconnectsAndRunsUntilTerminated()
{
    const int restarts = qEnvironmentVariableIsSet("VQ_SOAK_RESTARTS") ? qgetenv("VQ_SOAK_RESTARTS").toInt() : 1;
    ProcessRunner client(QStringLiteral(VQ_DUMMYCLIENT_PATH));
    // AddressSanitizer holds freed memory back in a quarantine; without it the
    // resident size of a sanitizer build follows the live memory too.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":quarantine_size_mb=0");
    client.process().setProcessEnvironment(environment);
    QVERIFY(client.start());
    // The first attempt comes 2000 ms after start and finds nobody; the client carries on.
    QTRY_VERIFY_WITH_TIMEOUT(client.countMessage(QStringLiteral("QAbstractSocket::ConnectionRefusedError")) >= 1, 5000);
    QVERIFY(client.isRunning());

    qint64 baselineKiB = -1;
    QElapsedTimer sinceLoss;
    // The last server stays up for the checks below.
    ProcessRunner server(QStringLiteral(VQ_SIMSERVER_PATH));
    for (int round = 0; round <= restarts; ++round) {
        const QString serial = QString::number(1000 + round);
        QVERIFY(server.startListening({"--serial", serial, "--event-rate", "20"}));
        QTRY_COMPARE_WITH_TIMEOUT(client.countMessage("Unit serial number is: " + serial), 1, RECONNECT_LIMIT_MS);
        QVERIFY2(round == 0 || sinceLoss.elapsed() >= 1000, "reconnected before the retry timer could have fired");
        if (round == restarts)
            break;
        // Let some event, preset and measurement traffic through before the loss.
        QTest::qWait(300);
        server.stop();
        sinceLoss.start();
        if (round == 5)
            baselineKiB = residentKiB(client.process().processId());
    }
    // Logged once per connection, not again while the connection lasts.
    QTest::qWait(2500);
    QCOMPARE(client.countMessage("Unit serial number is: " + QString::number(1000 + restarts)), 1);
    const qint64 grownKiB = residentKiB(client.process().processId()) - baselineKiB;
    QVERIFY2(restarts < 10 || grownKiB < 2048, qPrintable(QStringLiteral("grew by %1 KiB").arg(grownKiB)));

    client.process().terminate();
    QVERIFY(client.process().waitForFinished(3000));
    QCOMPARE(client.process().exitStatus(), QProcess::CrashExit);
}

QTEST_GUILESS_MAIN(TestReplay)
#include "tst_replay.moc"
