#include "processrunner.h"
#include "streamrecording.h"

#include <QtTest>

namespace {

const QString DISCONNECTED = QStringLiteral("QAbstractSocket::RemoteHostClosedError");

QString serverPath()
{
    return QStringLiteral(VQ_SIMSERVER_PATH);
}

// What the client logs from its first connection to the loss of it, with the
// milliseconds between its first line and that loss.
struct ClientSession
{
    QStringList messages;
    qint64 spanMs = -1;
};

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
    static bool runSession(const QStringList& serverArguments, ClientSession* session);

    QTemporaryDir m_dir;
    ClientSession m_live;
};

bool TestReplay::runSession(const QStringList& serverArguments, ClientSession* session)
{
    ProcessRunner server(serverPath());
    if (!server.start(serverArguments) || !server.waitForListening())
        return false;
    ProcessRunner client(QStringLiteral(VQ_DUMMYCLIENT_PATH));
    // Stopped before its next connection attempt, two seconds after the loss.
    if (!client.start() || !client.waitForMessageStartingWith(DISCONNECTED, 20000))
        return false;
    client.stop();
    for (const QString& line : client.lines()) {
        session->messages.append(logMessage(line));
        if (session->messages.last() == DISCONNECTED)
            break;
    }
    session->spanMs = client.firstSeenMs(DISCONNECTED) - client.firstSeenMs(session->messages.first());
    return true;
}

void TestReplay::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(runSession({QStringLiteral("--record"), m_dir.path() + QStringLiteral("/live.vqrec"),
                        QStringLiteral("--drop-after"), QStringLiteral("3"), QStringLiteral("--garbage"),
                        QStringLiteral("--corrupt-length"), QStringLiteral("--measurement-rate"), QStringLiteral("20"),
                        QStringLiteral("--event-rate"), QStringLiteral("5"), QStringLiteral("--preset-rate"),
                        QStringLiteral("2"), QStringLiteral("--status-rate"), QStringLiteral("4")},
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
    QTest::newRow("as fast as possible") << QStringList{QStringLiteral("--replay-fast")} << false;
}

void TestReplay::replayMatchesLiveSession()
{
    QFETCH(QStringList, options);
    QFETCH(bool, paced);

    ClientSession replayed;
    QVERIFY(runSession(QStringList{QStringLiteral("--replay"), m_dir.path() + QStringLiteral("/live.vqrec")} + options,
                       &replayed));
    QCOMPARE(replayed.messages, m_live.messages);
    // The live connection was dropped three seconds after it began.
    if (paced)
        QVERIFY2(replayed.spanMs >= 2500, qPrintable(QString::number(replayed.spanMs)));
}

void TestReplay::committedRecordings_data()
{
    QTest::addColumn<QString>("recording");
    QTest::addColumn<bool>("fast");
    QTest::addColumn<QString>("expected");

    const QString data = QFINDTESTDATA("data/recordings");
    QTest::newRow("garbage, corrupt length, events, meters")
        << data + QStringLiteral("/faults.vqrec") << true << data + QStringLiteral("/faults.lines");
    QTest::newRow("validation messages instead of a version")
        << data + QStringLiteral("/invalidigmp.vqrec") << true << data + QStringLiteral("/invalidigmp.lines");
}

void TestReplay::committedRecordings()
{
    QFETCH(QString, recording);
    QFETCH(bool, fast);
    QFETCH(QString, expected);

    QFile expectedFile(expected);
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    ClientSession replayed;
    QStringList options{QStringLiteral("--replay"), recording};
    if (fast)
        options << QStringLiteral("--replay-fast");
    QVERIFY(runSession(options, &replayed));
    QStringList lines = QString::fromUtf8(expectedFile.readAll()).split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    QCOMPARE(replayed.messages, lines);
}

QTEST_GUILESS_MAIN(TestReplay)
#include "tst_replay.moc"
