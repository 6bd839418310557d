#include "processrunner.h"
#include "streamrecording.h"

#include <QtTest>

namespace {

const QString DISCONNECTED = QStringLiteral("QAbstractSocket::RemoteHostClosedError");

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

// Recorded sessions replayed to the real vq_dummyclient: it must log what it
// logged live, and committed recordings pin down what it logs for them.
class TestReplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void replayMatchesLiveSession_data();
    void replayMatchesLiveSession();
    void committedRecordings_data();
    void committedRecordings();

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

void TestReplay::replayMatchesLiveSession_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("paced");

    QTest::newRow("recorded timing") << QStringList() << true;
    QTest::newRow("as fast as possible") << QStringList{"--replay-fast"} << false;
}

void TestReplay::replayMatchesLiveSession()
{
    QFETCH(QStringList, options);
    QFETCH(bool, paced);

    ClientSession replayed;
    QVERIFY(runSession(QStringList{"--replay", m_dir.path() + "/live.vqrec"} + options, &replayed));
    QCOMPARE(replayed.messages, m_live.messages);
    // The live connection was dropped three seconds after it began.
    if (paced)
        QVERIFY2(replayed.spanMs >= 2500, qPrintable(QString::number(replayed.spanMs)));
}

void TestReplay::committedRecordings_data()
{
    // Each recording with the file of the messages expected from it.
    QTest::addColumn<QString>("name");
    QTest::newRow("garbage, corrupt length, events, meters") << "faults";
    QTest::newRow("validation messages instead of a version") << "invalidigmp";
}

void TestReplay::committedRecordings()
{
    QFETCH(QString, name);

    const QString base = QFINDTESTDATA("data/recordings") + '/' + name;
    QFile expected(base + ".lines");
    QVERIFY(expected.open(QIODevice::ReadOnly));
    ClientSession replayed;
    QVERIFY(runSession({"--replay", base + ".vqrec", "--replay-fast"}, &replayed));
    QStringList lines = QString::fromUtf8(expected.readAll()).split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    QCOMPARE(replayed.messages, lines);
}

QTEST_GUILESS_MAIN(TestReplay)
#include "tst_replay.moc"
