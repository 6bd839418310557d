#include "clientmirror.h"
#include "fakeserver.h"
#include "logcapture.h"
#include "processrunner.h"
#include "programlauncher.h"

#include <QNetworkInterface>
#include <QtTest>

#include <unistd.h>

namespace {

const QString TOOL = QStringLiteral(VQ_DATACORE_PATH);
const QString CLIENT = QStringLiteral(VQ_DUMMYCLIENT_PATH);
const QString IGMP_PATH = QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion");
const QString SERIAL_PATH = QStringLiteral("statusCoreRouter/licenseStatus/serialNumber");
// The client's retry period, its connection attempt, and room for a loaded machine.
constexpr int RECONNECT_LIMIT_MS = 2000 + 500 + 7500;

// The host each kind of attempt tries: beyond the loopback, addresses that the
// test routes itself inside its private network namespace.
const QString HOSTS[] = {"127.0.0.1", "127.0.0.1", "10.9.9.9", "10.8.8.8", "10.7.7.7", "10.6.6.6"};

using Fault = FakeServer::Fault;
using Step = FakeServer::Step;

enum class Target { Mirror, DummyClient, Get, Set, Dump, Watch };

// What a faulty connection attempt (rather than a faulty server) looks like.
enum class Attempt { Served, Refused, Unreachable, Blackhole, Prohibited, NeverCompletes };

bool isRootInPrivateNetwork()
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    return ::geteuid() == 0 && interfaces.size() == 1 && interfaces.first().name() == QLatin1String("lo");
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Target)
Q_DECLARE_METATYPE(Attempt)

// A server that fails at each step of the exchange, and connection attempts
// that fail, against each kind of client: the mirror in this process, the
// real vq_dummyclient and vq_datacore commands. Nothing may crash (the
// sanitizer build runs this too) or hang; the mirror and the client rebuild
// from the next connection, the tool ends with its documented status.
class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void faults_data();
    void faults();
    void serverThatStopsReadingBoundsTheBacklog();

private:
    void mirrorSurvives(Fault fault, Step step);
    void dummyClientSurvives(Fault fault, Step step);
    void toolEnds(const QStringList& command, int status, const QString& message);

    FakeServer m_server;
    std::unique_ptr<ProcessRunner> m_dummyClient;
    bool m_routed = false;
    int m_serial = 100;
};

void TestFaults::initTestCase()
{
    QVERIFY(m_server.listen(29440));
    m_server.setDatacore(IGMP_PATH, "3");
    m_server.setDatacore(SERIAL_PATH, QString::number(m_serial));
    m_server.setDatacore(QStringLiteral("commandCoreRouter/executorCommander"), QJsonValue());
    m_server.setDatacore(QStringLiteral("configCoreRouter/generator/levels"), QJsonArray{"1", "2", "3"});

    // Routes of each kind, only where they cannot touch the machine's own network.
    if (isRootInPrivateNetwork()) {
        const auto route = [](const QStringList& arguments) {
            return QProcess::execute(QStringLiteral("ip"), QStringList{"route", "add"} + arguments) == 0;
        };
        m_routed = route({"blackhole", HOSTS[int(Attempt::Blackhole)] + "/32"})
            && route({"prohibit", HOSTS[int(Attempt::Prohibited)] + "/32"})
            // Handed to the loopback, which does not answer for it: the
            // connection request goes unanswered.
            && route({HOSTS[int(Attempt::NeverCompletes)] + "/32", "dev", "lo"});
    }
}

void TestFaults::faults_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<Attempt>("attempt");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Step>("step");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QString lost = QStringLiteral("connection to %1:29440 lost");
    const char* const targets[] = {"mirror", "vq_dummyclient", "get", "set", "dump", "watch"};
    const char* const faults[] = {"close", "reset", "stop reading"};
    const char* const steps[] = {"before the tree", "inside the tree frame", "before sync-complete",
                                 "after sync-complete", "on a change", "while a change waits"};
    const auto row = [&](Target target, Fault fault, Step step, int status = 0, const QString& message = QString()) {
        const QString name = QStringLiteral("%1: %2 %3").arg(targets[int(target)], faults[int(fault)], steps[int(step)]);
        QTest::newRow(qPrintable(name)) << target << Attempt::Served << fault << step << status << message;
    };
    // The mirror in this process is cleared, then rebuilt from the next connection;
    // a change made right after the fault meets a connection that is already gone.
    // vq_dummyclient reconnects and reports the next connection's serial number.
    // vq_datacore connects once: a lost connection ends every command with 4.
    // Per target: "c" close or "r" reset, then the step's number.
    const std::pair<Target, const char*> served[] = {
        {Target::Mirror, "c0 r0 c1 r1 c2 r2 r3 c4 r4 r5"}, {Target::DummyClient, "r0 r1 r2"}, {Target::Get, "r0 r1 c2"},
        {Target::Set, "c1 r2 r4 c4 r5"}, {Target::Dump, "c0 r1"}, {Target::Watch, "c1 r3"}};
    for (const auto& r : served) {
        const bool tool = r.first > Target::DummyClient;
        for (const QString& code : QString::fromLatin1(r.second).split(' '))
            row(r.first, code[0] == 'c' ? Fault::Close : Fault::Reset, Step(code.mid(1).toInt()), tool ? 4 : 0,
                tool ? lost : QString());
    }
    row(Target::Set, Fault::StopReading, Step::AfterSync, 8,
        QStringLiteral("the server did not confirm the new value of %1 in time").arg(IGMP_PATH));

    // Attempts that fail, at once or never: each ends within the time-out.
    const auto attempt = [](const char* name, Target target, Attempt attempt, int status, const QString& message) {
        QTest::newRow(name) << target << attempt << Fault::Close << Step::BeforeTree << status << message;
    };
    // "%1" stands for the host tried.
    attempt("get: refused", Target::Get, Attempt::Refused, 3, "cannot connect to %1:29441: Connection refused");
    attempt("get: no route", Target::Get, Attempt::Unreachable, 3, "cannot connect to %1:29440: Network unreachable");
    attempt("set: no route", Target::Set, Attempt::Unreachable, 3, "cannot connect to %1:29440: Network unreachable");
    attempt("dump: blackhole route", Target::Dump, Attempt::Blackhole, 3, "cannot connect to %1:29440: ");
    attempt("watch: prohibit route", Target::Watch, Attempt::Prohibited, 3, "cannot connect to %1:29440: ");
    attempt("get: never completes", Target::Get, Attempt::NeverCompletes, 5, "no datacores from %1:29440 within 2 s");
    attempt("mirror: no route", Target::Mirror, Attempt::Unreachable, 0, QString());
    attempt("mirror: never completes", Target::Mirror, Attempt::NeverCompletes, 0, QString());
}

void TestFaults::faults()
{
    QFETCH(Target, target);
    QFETCH(Attempt, attempt);
    QFETCH(Fault, fault);
    QFETCH(Step, step);
    QFETCH(int, status);
    QFETCH(QString, message);

    // The client process serves its own rows only: it would take the next fault.
    if (target != Target::DummyClient)
        m_dummyClient.reset();

    // The value a set changes.
    m_server.setDatacore(IGMP_PATH, "3");
    const QString host = HOSTS[int(attempt)];
    // Nothing listens on the next port in the test's own network namespace.
    const quint16 port = attempt == Attempt::Refused ? 29441 : 29440;
    if (attempt == Attempt::Unreachable && !isRootInPrivateNetwork())
        QSKIP("needs a private network namespace without routes");
    if (attempt > Attempt::Unreachable && !m_routed)
        QSKIP("needs root in a private network namespace");

    if (target == Target::Mirror && attempt != Attempt::Served) {
        // The attempt ends, at once or after its 500 ms, and the error is logged.
        NetworkConnection connection;
        LogCapture capture;
        QVERIFY(!connection.connectToHost(host, port) && !connection.isConnected());
    } else if (target == Target::Mirror) {
        mirrorSurvives(fault, step);
    } else if (target == Target::DummyClient) {
        dummyClientSurvives(fault, step);
    } else {
        if (attempt == Attempt::Served)
            m_server.failNextConnection(fault, step);
        const QStringList commands[] = {{"get", SERIAL_PATH}, {"set", IGMP_PATH, "2"}, {"dump"}, {"watch", SERIAL_PATH}};
        const int timeout = attempt == Attempt::NeverCompletes ? 2 : 10;
        toolEnds(QStringList{"--host", host, "--port", QString::number(port), "--timeout", QString::number(timeout)}
                     + commands[int(target) - int(Target::Get)],
                 status, message.contains("%1") ? message.arg(host) : message);
        m_server.closeAll();
    }
}

void TestFaults::mirrorSurvives(Fault fault, Step step)
{
    ClientMirror mirror;
    ClientDatacoreRegistry* registry = mirror.registry();
    const int faults = m_server.faultCount();
    QSignalSpy populated(registry, &ClientDatacoreRegistry::registryHasBeenPopulated);
    QSignalSpy cleared(registry, &ClientDatacoreRegistry::registryHasBeenCleared);
    // Every mirror built: the failing connection's, where it got that far, and the next one's.
    QList<QPointer<ClientDatacore>> mirrors;
    connect(registry, &ClientDatacoreRegistry::registryHasBeenPopulated, this,
            [&] { mirrors.append(registry->lookupDatacore(IGMP_PATH)); });
    // A change right after the fault: the send meets a connection that the
    // server has already reset, and fails inside the setter's own call chain.
    connect(&m_server, &FakeServer::faulted, this, [&] {
        m_server.setDatacore(SERIAL_PATH, QString::number(++m_serial));
        if (ClientDatacore* igmp = mirror.datacore(IGMP_PATH))
            igmp->setDataUint(1);
    });

    m_server.failNextConnection(fault, step);
    QSignalSpy lost(&mirror.connection, &NetworkConnection::disconnectedFromHost);
    QVERIFY(mirror.connect(29440));
    if (step == Step::OnChange || step == Step::InSet) {
        QTRY_COMPARE(populated.count(), 1);
        mirror.datacore(IGMP_PATH)->setDataUint(2);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_server.faultCount(), faults + 1, 5000);
    m_server.disconnect(this);
    // The manager's retry, without its wait.
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(mirror.connect(29440));
    QTRY_VERIFY(registry->lookupDatacore(SERIAL_PATH)
                && registry->lookupDatacore(SERIAL_PATH)->data() == QStringList{QString::number(m_serial)});
    // Populated, cleared, and whether the first and the last mirror are gone.
    const int firstGotTheTree = step != Step::BeforeTree && step != Step::MidTree;
    QCOMPARE((QList<int>{populated.count(), cleared.count(), mirrors.first().isNull(), mirrors.last().isNull()}),
             (QList<int>{1 + firstGotTheTree, firstGotTheTree, firstGotTheTree, 0}));
    m_server.closeAll();
    QTRY_VERIFY(registry->isEmpty());
}

void TestFaults::dummyClientSurvives(Fault fault, Step step)
{
    if (!m_dummyClient) {
        m_dummyClient = std::make_unique<ProcessRunner>(CLIENT);
        QVERIFY(m_dummyClient->start());
        QTRY_COMPARE_WITH_TIMEOUT(m_dummyClient->countMessage("Unit serial number is: " + QString::number(m_serial)),
                                  1, RECONNECT_LIMIT_MS);
    }
    const int faults = m_server.faultCount();
    // Each connection after the fault tells itself apart by its serial number.
    connect(&m_server, &FakeServer::faulted, this,
            [this] { m_server.setDatacore(SERIAL_PATH, QString::number(++m_serial)); });
    m_server.failNextConnection(fault, step);
    m_server.closeAll();
    QTRY_COMPARE_WITH_TIMEOUT(m_server.faultCount(), faults + 1, RECONNECT_LIMIT_MS);
    m_server.disconnect(this);
    QTRY_COMPARE_WITH_TIMEOUT(m_dummyClient->countMessage("Unit serial number is: " + QString::number(m_serial)), 1,
                              RECONNECT_LIMIT_MS);
    QVERIFY(m_dummyClient->isRunning());
}

void TestFaults::toolEnds(const QStringList& command, int status, const QString& message)
{
    QProcess tool;
    ProgramLauncher::start(tool, TOOL, command);
    // The server runs in this process: the loop must keep going while the tool runs.
    QTRY_VERIFY_WITH_TIMEOUT(tool.state() == QProcess::NotRunning, 20000);
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == status
                 && errors.contains("vq_datacore: " + message),
             qPrintable(QStringLiteral("status %1: %2").arg(tool.exitCode()).arg(errors)));
}

void TestFaults::serverThatStopsReadingBoundsTheBacklog()
{
    ClientMirror mirror;
    QSignalSpy populated(mirror.registry(), &ClientDatacoreRegistry::registryHasBeenPopulated);
    m_server.failNextConnection(Fault::StopReading, Step::AfterSync);
    QVERIFY(mirror.connect(29440));
    QTRY_COMPARE(populated.count(), 1);

    // Far more than the socket buffers hold: the rest is dropped, with one warning.
    LogCapture capture;
    const QString large(64 * 1024, QLatin1Char('x'));
    for (int i = 0; i < 600; ++i) {
        mirror.datacore(IGMP_PATH)->setDataString(large + QString::number(i));
        QCoreApplication::processEvents();
    }
    QCOMPARE(capture.countStartingWith(QStringLiteral("Outgoing buffer holds ")), 1);
    QVERIFY(mirror.connection.isConnected());
    m_server.closeAll();
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
