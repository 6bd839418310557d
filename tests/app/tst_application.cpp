#include "childrun.h"
#include "dummyclientmain.h"
#include "fakeserver.h"
#include "logcapture.h"
#include "mappedprogramarguments.h"
#include "testframes.h"
#include "vqdummyclientapplicationbase.h"

#include <QtTest>

#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

const QString SERIAL_PATH = QStringLiteral("statusCoreRouter/licenseStatus/serialNumber");

VqDummyClientApplicationBase* application()
{
    return static_cast<VqDummyClientApplicationBase*>(QCoreApplication::instance());
}

struct ThrowingObject : QObject
{
    bool event(QEvent*) override { throw std::runtime_error("handler failed"); }
};

// Child: the real entry point, with an event loop that returns 7 once the
// first connection attempt, to a port nobody listens on here, has failed. An
// event handler that throws on the way must not end the loop.
int runEntryPointChild(int argc, char** argv)
{
    usePrivateLoopback();
    qAddPreRoutine([] {
        static ThrowingObject thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTimer::singleShot(3500, [] { QCoreApplication::exit(7); });
    });
    return runDummyClient(argc, argv);
}

// argv as the process gets it: Latin-1 bytes, kept alive for the call.
MappedProgramArguments parse(const QStringList& arguments, bool stripPrefixes = true)
{
    std::vector<QByteArray> storage;
    for (const QString& argument : arguments)
        storage.push_back(argument.toLatin1());
    std::vector<char*> argv;
    for (QByteArray& bytes : storage)
        argv.push_back(bytes.data());
    return MappedProgramArguments(int(argv.size()), argv.data(), stripPrefixes);
}

} // namespace

// The application: its arguments, its entry point, and its objects wired
// together against an in-process server on the fixed port 29440.
class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void entryPointWithAssortedOptionsReturnsZero();
    void connectsAfterRetryPeriodAndRewiresAfterReconnection();
};

void TestApplication::parsing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("strip");
    // Keys in order, once per value, each with all its values.
    QTest::addColumn<QByteArray>("entries");
    QTest::addColumn<int>("multipleEqualsErrors");
    // The latest value of x, null where x is missing and the look-up reported.
    QTest::addColumn<QString>("x");

    // Only the first prefix, once; empty parts dropped; Latin-1 dumped as UTF-8.
    QTest::newRow("prefixes stripped")
        << QStringList{"prog", "--x=1", "-v", "-Dmode=fast", "---y", "-D-z=1", "--x=2", "name=", "a==b",
                       QStringLiteral("k=") + QChar(0xe9)} << true
        << QByteArray("key[-y] : values[]key[-z] : values[1]key[a] : values[b]key[k] : values[\xc3\xa9]"
                      "key[mode] : values[fast]key[name] : values[]key[prog] : values[]key[v] : values[]"
                      "key[x] : values[21]key[x] : values[21]") << 0 << "2";
    QTest::newRow("no stripping keeps the prefix") << QStringList{"--x=1"} << false
                                                   << QByteArray("key[--x] : values[1]") << 0 << QString();
    QTest::newRow("three parts keep first and last, no part adds nothing")
        << QStringList{"a=b=c", "--", "-", "="} << true << QByteArray("key[a] : values[c]") << 4 << QString();
}

void TestApplication::parsing()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, strip);
    QFETCH(QByteArray, entries);
    QFETCH(int, multipleEqualsErrors);

    LogCapture capture;
    const MappedProgramArguments parsed = parse(arguments, strip);
    std::ostringstream dumped;
    dumped << parsed;
    QCOMPARE(capture.count(spdlog::level::err, QStringLiteral("Command line argument contained multiple '='!")),
             multipleEqualsErrors);
    QCOMPARE(dumped.str(), "MappedProgramArguments {\n" + entries.toStdString() + "}");
    // Looked up, a missing key is reported; tested for, it is not.
    QTEST(parsed.value("x"), "x");
    QCOMPARE(capture.count(spdlog::level::err, QStringLiteral("No key found: x")), int(!parsed.contains("x")));

    // argv may hold a null among its argc entries.
    char program[] = "prog";
    char* argv[] = {program, nullptr};
    QVERIFY(MappedProgramArguments(2, argv, true).contains("prog"));
}

void TestApplication::entryPointWithAssortedOptionsReturnsZero()
{
    const ChildRun::Result child = ChildRun::run("entry", {"--port=1", "-Dhost=example", "-v", "a=b=c", "=", "plain"});
    QCOMPARE(child.exitStatus, QProcess::NormalExit);
    QCOMPARE(child.exitCode, 0);
    QVERIFY2(child.output.contains("QAbstractSocket::ConnectionRefusedError"), child.output.constData());
}

void TestApplication::connectsAfterRetryPeriodAndRewiresAfterReconnection()
{
    FakeServer server;
    server.setDatacore(SERIAL_PATH, "111");
    server.setDatacore(QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion"), "2");
    server.setDatacore(QStringLiteral("commandCoreRouter/executorCommander"), QJsonValue());
    QVERIFY(server.listen(29440));
    LogCapture capture;

    QElapsedTimer sinceInitialise;
    sinceInitialise.start();
    application()->initialise();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, 5000);
    QVERIFY2(sinceInitialise.elapsed() >= 1800, "the first attempt must wait for the retry timer");
    QTRY_COMPARE(capture.count(QStringLiteral("Unit serial number is: 111")), 1);
    QCOMPARE(capture.count(QStringLiteral("IGMP max supported version is: 2")), 1);

    // A log packet from the server reaches both handlers, the base one first.
    QStringList order;
    QObject listener;
    connect(application()->logPacketHandler(), &VqClientSequencePackagedLogPacketHandler::newLogEntry, &listener,
            [&] { order << "base"; });
    connect(application()->extraLogPacketHandler(), &VqClientSequencePackagedLogPacketHandler::newLogEntry, &listener,
            [&] { order << "derived"; });
    server.sendToAll(SerialisableDataPacket(json(R"({"Class": "SequencePackagedLogPacket",
        "logPacket": {"Class": "SCTE104EventPacket", "SCTE104": "splice"}})")));
    QTRY_COMPARE(order, (QStringList{"base", "derived"}));

    // A lost connection clears the mirror; the next tree wires the new datacores again.
    server.setDatacore(SERIAL_PATH, "222");
    server.closeAll();
    QTRY_VERIFY(application()->datacoreManager()->registry()->isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(capture.count(QStringLiteral("Unit serial number is: 222")), 1, 5000);
    QCOMPARE(capture.count(QStringLiteral("IGMP max supported version is: 2")), 2);

    // The DummyClient's command reaches the server through the rewired executor.
    emit application()->dummyClient()->executeCommandWithParameters(QStringLiteral("reboot"));
    QTRY_COMPARE(server.data(QStringLiteral("commandCoreRouter/executorCommander")), QJsonValue("reboot"));
}

int main(int argc, char** argv)
{
    if (ChildRun::mode() == "entry")
        return runEntryPointChild(argc, argv);
    VqDummyClientApplicationBase application(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
