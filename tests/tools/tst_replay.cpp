#include "processrunner.h"
#include "streamrecording.h"

#include <QtTest>

namespace {

// One retry period of the client, its connection attempt, and ample room for a loaded machine.
constexpr int RECONNECT_LIMIT_MS = 2000 + 500 + 7500;
const QString DISCONNECTED = QStringLiteral("QAbstractSocket::RemoteHostClosedError");

int serialLines(ProcessRunner& client, const char* serial)
{
    return client.countMessage(QStringLiteral("Unit serial number is: ") + QLatin1String(serial));
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

void TestReplay::findsLateServerReconnectsAndRunsUntilTerminated()
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

    client.process().terminate();
    QVERIFY(client.process().waitForFinished(3000));
    QCOMPARE(client.process().exitStatus(), QProcess::CrashExit);
}

QTEST_GUILESS_MAIN(TestReplay)
#include "tst_replay.moc"
